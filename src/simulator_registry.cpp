// The signal registry, source places, the not-modelled report and the small
// utilities every translation step shares.
#include "database.h"
#include "json_escape.h"
#include "simulator.h"
#include "timeseries.h"

#include <slang/text/SourceManager.h>

#include <iostream>

using namespace slang::ast;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

SimulatorBuilder::SimulatorBuilder(const slang::SourceManager* sourceMgr) : sourceMgr(sourceMgr) {}

void SimulatorBuilder::setTopModuleName(const std::string& name) { _top_module_name = name; }

void SimulatorBuilder::set_file_id_list(const std::map<std::string, int>& file_ids) {
    _file_id_map = file_ids;
}

void SimulatorBuilder::set_file_names(const std::map<std::string, int>& file_table) {
    _file_names.clear();
    for (const auto& [path, id] : file_table)
        _file_names[id] = path;
}

const std::vector<std::pair<int, int>>& SimulatorBuilder::getLineContextMap() const {
    return _line_ctx_map_builder;
}


wsim_kernel::signal_ref SimulatorBuilder::registerSignal(const std::string& name, int width,
                                                         int line, bool is_port, bool is_reg) {
    if (width < 1)
        width = 1;
    signal_widths[name] = width;
    if (auto it = signal_positions.find(name); it != signal_positions.end())
        return {signal_types[name], it->second};

    auto& state = sim_state::instance();
    const operand_t type = wsim_kernel::store_for_width(width);
    int pos = 0;
    switch (type) {
    case operand_t::BIT: pos = state.add_bit(wsim_kernel::bit(false, false, name, line)); break;
    case operand_t::BYTE: pos = state.add_byte(wsim_kernel::byte_t(0, false, name, line)); break;
    default: pos = state.add_long(wsim_kernel::long_t(0, false, name, line)); break;
    }
    signal_positions[name] = pos;
    signal_types[name] = type;
    state.set_signal_width({type, pos}, std::min(width, 64));

    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    recorder.register_signal(name, line, is_port, is_reg, width);
    recorder.register_signal_in_scope(name, "");
    recorder.record_signal_change(name, 0);
    return {type, pos};
}

void SimulatorBuilder::registerAlias(const std::string& name, wsim_kernel::signal_ref sig,
                                     int width, int line) {
    signal_widths[name] = std::max(width, 1);
    signal_positions[name] = sig.pos;
    signal_types[name] = sig.type;
    auto& state = sim_state::instance();
    state.add_signal_alias(sig, name);
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    recorder.register_signal(name, line, true, false, std::max(width, 1));
    recorder.register_signal_in_scope(name, "");
    recorder.record_signal_change(name, static_cast<int64_t>(state.read(sig)));
}

int SimulatorBuilder::getLineNumber(slang::SourceLocation loc) const {
    if (!sourceMgr || !loc.valid())
        return 0;
    return static_cast<int>(sourceMgr->getLineNumber(loc));
}

const std::string& SimulatorBuilder::projectPathOf(std::string_view given) const {
    // Every statement asks, and the file system answers slowly.
    auto it = _project_paths.find(given);
    if (it == _project_paths.end())
        it = _project_paths.emplace(std::string(given), Database::projectPath(std::string(given))).first;
    return it->second;
}

int SimulatorBuilder::get_file_id(slang::SourceLocation loc) const {
    if (!sourceMgr || !loc.valid())
        return -1;
    auto it = _file_id_map.find(projectPathOf(sourceMgr->getFileName(loc)));
    return it == _file_id_map.end() ? -1 : it->second;
}

std::string SimulatorBuilder::fileName(slang::SourceLocation loc) const {
    if (!sourceMgr || !loc.valid())
        return "";
    // The project's file table spells its files one way (a copy made for
    // injected assertions is reported as its source); text that is no file
    // of the project keeps the name it was given.
    if (auto it = _file_names.find(get_file_id(loc)); it != _file_names.end())
        return it->second;
    const std::string_view given = sourceMgr->getFileName(loc);
    const std::string& project = projectPathOf(given);
    return _file_id_map.count(project) ? project : std::string(given);
}

int SimulatorBuilder::addLineContext(slang::SourceLocation loc) {
    _line_ctx_map_builder.emplace_back(get_file_id(loc), getLineNumber(loc));
    return static_cast<int>(_line_ctx_map_builder.size()) - 1;
}

uint64_t SimulatorBuilder::svintToUint64(const slang::SVInt& value) {
    if (value.isSigned() && value.isNegative()) {
        auto v = value.as<int64_t>();
        return v ? static_cast<uint64_t>(*v) : 0;
    }
    return value.as<uint64_t>().value_or(0);
}

void SimulatorBuilder::knownBits(const slang::SVInt& v, uint64_t& value, uint64_t& mask) {
    value = 0;
    mask = 0;
    const uint32_t bits = std::min<uint32_t>(v.getBitWidth(), 64);
    for (uint32_t i = 0; i < bits; ++i) {
        const slang::logic_t b = v[static_cast<int32_t>(i)];
        if (b.isUnknown())
            continue;
        mask |= uint64_t{1} << i;
        if (b.value)
            value |= uint64_t{1} << i;
    }
    // Bits above the value's own width are known zeros.
    if (bits < 64)
        mask |= ~wsim_kernel::width_mask(static_cast<int>(bits));
}

void SimulatorBuilder::reportNotModelled(slang::SourceLocation where, const std::string& construct) {
    if (_reports_muted)
        return;
    // Every entry names a place: at worst the block or function it is in.
    if (!where.valid())
        where = _ctx.origin;
    NotModelled entry{fileName(where), getLineNumber(where), construct};
    if (!_reported.insert({entry.file, entry.line, entry.construct}).second)
        return;
    std::cerr << "[MODEL] " << entry.file << ":" << entry.line << ": " << construct
              << " is not modelled; left out\n";
    _not_modelled.push_back(std::move(entry));
}

void SimulatorBuilder::unmodelled(const std::string& construct, slang::SourceLocation where) {
    throw Unmodelled{construct, where};
}

namespace {

std::vector<std::pair<bool, bool>> recordedPortAndReg(const std::map<std::string, int>& positions) {
    const auto& recorded = wsim_timeseries::TimeSeriesDB::instance().get_signals();
    std::vector<std::pair<bool, bool>> flags;
    flags.reserve(positions.size());
    for (const auto& [name, pos] : positions) {
        auto info = recorded.find(name);
        flags.emplace_back(info != recorded.end() && info->second.isPort,
                           info != recorded.end() && info->second.isReg);
    }
    return flags;
}

} // namespace

std::string SignalRegistry::json() const {
    std::string out = "{\"signals\":[\n";
    bool first = true;
    auto flags = port_and_reg.begin();
    for (const auto& [name, pos] : positions) {
        if (!first)
            out += ",\n";
        first = false;
        const operand_t type = type_of(name);
        const int width = width_of(name);
        const auto [is_port, is_reg] = *flags++;
        out += "  {\"name\":\"";
        append_json_escaped(out, name);
        out += "\",\"position\":" + std::to_string(pos);
        out += ",\"width\":" + std::to_string(width);
        out += ",\"type\":\"";
        out += type == operand_t::BYTE ? "BYTE" : type == operand_t::LONG ? "LONG" : "BIT";
        out += "\",\"isPort\":";
        out += is_port ? "true" : "false";
        out += ",\"isReg\":";
        out += is_reg ? "true" : "false";
        out += "}";
    }
    out += "\n]}";
    return out;
}

std::string SimulatorBuilder::exportRegistryJSON() const {
    return SignalRegistry{signal_positions, signal_widths, signal_types,
                          recordedPortAndReg(signal_positions)}
        .json();
}

SignalRegistry SimulatorBuilder::takeRegistry() {
    auto flags = recordedPortAndReg(signal_positions);
    return SignalRegistry{std::move(signal_positions), std::move(signal_widths),
                          std::move(signal_types), std::move(flags)};
}
