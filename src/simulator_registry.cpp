// Builder state, the signal registry and the small utilities every
// translation step shares.
#include "json_escape.h"
#include "simulator.h"
#include "database.h"
#include "timeseries.h"

#include <slang/text/SourceManager.h>

#include <filesystem>

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

SimulatorBuilder::ScopeGuard::ScopeGuard(std::string& target, std::string new_value)
    : target(target), saved(target) {
    target = std::move(new_value);
}

SimulatorBuilder::ScopeGuard::~ScopeGuard() { target = saved; }

SimulatorBuilder::SimulatorBuilder(const slang::SourceManager* sourceMgr) : sourceMgr(sourceMgr) {}

void SimulatorBuilder::setTopModuleName(const std::string& name) { _top_module_name = name; }

void SimulatorBuilder::set_file_id_list(const std::map<std::string, int>& file_ids) {
    _file_id_map = file_ids;
}

const std::vector<std::pair<int, int>>& SimulatorBuilder::getLineContextMap() const {
    return _line_ctx_map_builder;
}

const std::map<int, std::vector<std::string>>& SimulatorBuilder::getLineInstanceMap() const {
    return _line_instance_map_builder;
}

operand_t SimulatorBuilder::storeForWidth(int width) {
    if (width <= 1)
        return operand_t::BIT;
    return width <= 8 ? operand_t::BYTE : operand_t::LONG;
}

void SimulatorBuilder::registerSignalBits(const std::string& base_name, int width, int line_num,
                                          bool is_port, bool is_reg, bool is_signed) {
    if (width < 1)
        width = 1;
    signal_widths[base_name] = width;
    signal_signed[base_name] = is_signed;
    if (signal_positions.count(base_name))
        return;

    auto& state = sim_state::instance();
    const operand_t type = storeForWidth(width);
    int pos = 0;
    switch (type) {
    case operand_t::BIT: pos = state.add_bit(wsim_kernel::bit(false, false, base_name, line_num)); break;
    case operand_t::BYTE:
        pos = state.add_byte(wsim_kernel::byte_t(0, false, base_name, line_num));
        break;
    default: pos = state.add_long(wsim_kernel::long_t(0, false, base_name, line_num)); break;
    }
    signal_positions[base_name] = pos;
    signal_types[base_name] = type;

    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    recorder.register_signal(base_name, line_num, is_port, is_reg, width);
    recorder.register_signal_in_scope(base_name, "");
    recorder.record_signal_change(base_name, 0);
}

void SimulatorBuilder::registerConstant(const std::string& name, int pos, operand_t type) {
    signal_positions[name] = pos;
    signal_types[name] = type;
    internal_constants.insert(name);
}

int SimulatorBuilder::addLongConstant(const std::string& name, uint64_t val, int line) {
    if (auto it = signal_positions.find(name); it != signal_positions.end())
        return it->second;
    const int pos = sim_state::instance().add_long(wsim_kernel::long_t(val, true, name, line));
    registerConstant(name, pos, operand_t::LONG);
    return pos;
}

int SimulatorBuilder::addBitConstant(const std::string& name, bool val, int line) {
    if (auto it = signal_positions.find(name); it != signal_positions.end())
        return it->second;
    const int pos = sim_state::instance().add_bit(wsim_kernel::bit(val, true, name, line));
    registerConstant(name, pos, operand_t::BIT);
    return pos;
}

int SimulatorBuilder::createLongTemporary(const std::string& name, int width, int line,
                                          bool& created) {
    created = false;
    if (auto it = signal_positions.find(name); it != signal_positions.end())
        return it->second;
    const int pos = sim_state::instance().add_long(wsim_kernel::long_t(0, false, name, line));
    registerConstant(name, pos, operand_t::LONG);
    signal_widths[name] = width;
    created = true;
    return pos;
}

int SimulatorBuilder::createBitTemporary(const std::string& name, int line, bool& created) {
    created = false;
    if (auto it = signal_positions.find(name); it != signal_positions.end())
        return it->second;
    const int pos = sim_state::instance().add_bit(wsim_kernel::bit(false, false, name, line));
    registerConstant(name, pos, operand_t::BIT);
    created = true;
    return pos;
}

bool SimulatorBuilder::isRegistered(const std::string& name) const {
    return signal_positions.count(name) != 0;
}

int SimulatorBuilder::getSignalWidth(const std::string& name) const {
    auto it = signal_widths.find(name);
    return it == signal_widths.end() ? 1 : it->second;
}

operand_t SimulatorBuilder::getSignalType(const std::string& name) const {
    auto it = signal_types.find(name);
    return it == signal_types.end() ? operand_t::BIT : it->second;
}

bool SimulatorBuilder::getSignalSigned(const std::string& name) const {
    auto it = signal_signed.find(name);
    return it != signal_signed.end() && it->second;
}

int SimulatorBuilder::getLineNumber(slang::SourceLocation loc) const {
    if (!sourceMgr || !loc.valid())
        return 0;
    return static_cast<int>(sourceMgr->getLineNumber(loc));
}

int SimulatorBuilder::get_file_id(slang::SourceLocation loc) const {
    if (!sourceMgr || !loc.valid())
        return -1;
    auto it = _file_id_map.find(Database::projectPath(std::string(sourceMgr->getFileName(loc))));
    return it == _file_id_map.end() ? -1 : it->second;
}

std::string SimulatorBuilder::bit_name(const std::string& base, int i) {
    return base + "[" + std::to_string(i) + "]";
}

uint64_t SimulatorBuilder::svintToUint64(const slang::SVInt& value) {
    if (value.isSigned() && value.isNegative()) {
        auto v = value.as<int64_t>();
        return v ? static_cast<uint64_t>(*v) : 0;
    }
    return value.as<uint64_t>().value_or(0);
}

uint64_t SimulatorBuilder::readVecSignal(int pos, operand_t otype) {
    return sim_state::instance().read_signal_val(pos, otype);
}

int64_t SimulatorBuilder::readVecSignalSigned(int pos, operand_t otype, int width) {
    const uint64_t raw = readVecSignal(pos, otype);
    if (width >= 1 && width <= 63 && ((raw >> (width - 1)) & 1))
        return static_cast<int64_t>(raw | (~uint64_t{0} << (width - 1)));
    return static_cast<int64_t>(raw);
}

uint64_t SimulatorBuilder::widthMask(int width) {
    if (width >= 64)
        return ~uint64_t{0};
    if (width <= 0)
        return 0;
    return (uint64_t{1} << width) - 1;
}

wsim_kernel::exp_t SimulatorBuilder::lsbReader(int pos, operand_t type) {
    return [pos, type] { return (sim_state::instance().read_signal_val(pos, type) & 1) != 0; };
}

SimulatorBuilder::ScopeGuard SimulatorBuilder::scopeGuard(std::string new_val) {
    return ScopeGuard(_current_scope_prefix, std::move(new_val));
}

int SimulatorBuilder::addLineContext(int file_id, int line) {
    _line_ctx_map_builder.emplace_back(file_id, line);
    return static_cast<int>(_line_ctx_map_builder.size()) - 1;
}

assignment_t& SimulatorBuilder::addProceduralStatement(process_t& proc, const assignment_t& stmt) {
    proc.add_statement(stmt);
    assignment_t& stored = *proc.ith_statement(proc.number_of_statements() - 1);
    const int trigger = stored.trigger_index();
    if (trigger == 0)
        return stored;
    if (!_claimed_triggers.insert(trigger).second) {
        auto events = _trigger_events.find(trigger);
        if (events != _trigger_events.end()) {
            const std::vector<TriggerEvent> watched = events->second;
            const auto [fresh, ack] = watched.size() == 1
                                          ? buildTrigger(watched[0].pos, watched[0].edge,
                                                         watched[0].type)
                                          : buildTriggerFromList(watched);
            stored.set_trigger(fresh, ack);
            _claimed_triggers.insert(fresh);
        }
    }
    return stored;
}

void SimulatorBuilder::commitProcess(process_t& proc) {
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    for (int i = 0; i < proc.number_of_statements(); ++i) {
        const assignment_t& stmt = *proc.ith_statement(i);
        if (stmt.line() >= 0 && !stmt.instance_id().empty())
            recorder.register_line_instance(stmt.line(), stmt.instance_id());
    }
    sim_state::instance().add_process(proc);
}

void SimulatorBuilder::makeCAProcess(int file_id, int line, const std::string& name,
                                     int target_pos, int rhs_pos, int exp_pos, operand_t ltype,
                                     operand_t rtype) {
    makeNamedCAProcess(name + "_drv", file_id, line, target_pos, rhs_pos, exp_pos, ltype, rtype);
}

int SimulatorBuilder::makeCAProcessWithExp(int file_id, int line, const std::string& name,
                                           int target_pos, wsim_kernel::exp_t fn, operand_t ltype,
                                           operand_t rtype, bool exp_writes_lhs) {
    auto& state = sim_state::instance();
    const int exp_idx = state.add_exp(std::move(fn));
    makeCAProcess(file_id, line, name, target_pos, 0, exp_idx, ltype, rtype);
    if (exp_writes_lhs) {
        process_t& last = state.all_processes().back();
        last.ith_statement(last.number_of_statements() - 1)->set_exp_writes_lhs(true);
    }
    return exp_idx;
}

std::string SimulatorBuilder::exportRegistryJSON() const {
    const auto& recorded = wsim_timeseries::TimeSeriesDB::instance().get_signals();
    std::string out = "{\"signals\":[\n";
    bool first = true;
    for (const auto& [name, pos] : signal_positions) {
        if (internal_constants.count(name))
            continue;
        if (!first)
            out += ",\n";
        first = false;
        const operand_t type = getSignalType(name);
        auto info = recorded.find(name);
        const bool is_port = info != recorded.end() && info->second.isPort;
        const bool is_reg = info != recorded.end() && info->second.isReg;
        out += "  {\"name\":\"";
        append_json_escaped(out, name);
        out += "\",\"position\":" + std::to_string(pos);
        out += ",\"width\":" + std::to_string(getSignalWidth(name));
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
