// Triggers and timing controls: event controls become (trigger, acknowledge)
// closure pairs in the kernel.
#include "kernel_utils.h"
#include "simulator.h"

#include <memory>
#include <optional>

using namespace slang::ast;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

WEdgeKind SimulatorBuilder::toWEdge(EdgeKind edge) {
    switch (edge) {
    case EdgeKind::PosEdge: return WEdgeKind::PosEdge;
    case EdgeKind::NegEdge: return WEdgeKind::NegEdge;
    default: return WEdgeKind::AnyEdge;
    }
}

std::pair<int, int> SimulatorBuilder::buildTrigger(int sig_pos, WEdgeKind edge, operand_t type) {
    if (sig_pos == 0)
        return {0, 0};
    auto& state = sim_state::instance();
    const auto pos = static_cast<unsigned>(sig_pos);
    wsim_kernel::trig_t trigger;
    wsim_kernel::trig_ack_t ack;
    if (type == operand_t::BIT) {
        const unsigned slot = state.access_bits(sig_pos).add_triggered();
        switch (edge) {
        case WEdgeKind::PosEdge:
            trigger = [pos] {
                auto& s = sim_state::instance();
                const auto& cell = s.access_bits(static_cast<int>(pos));
                const bool fired = cell.posedge_occurred();
                return std::pair<bool, time_t>(fired, fired ? s.sim_time() : cell.time());
            };
            break;
        case WEdgeKind::NegEdge:
            trigger = [pos] {
                const auto& cell = sim_state::instance().access_bits(static_cast<int>(pos));
                return std::pair<bool, time_t>(cell.negedge_occurred(), cell.time());
            };
            break;
        default:
            trigger = [pos] {
                const auto& cell = sim_state::instance().access_bits(static_cast<int>(pos));
                return std::pair<bool, time_t>(cell.posedge_occurred() || cell.negedge_occurred(),
                                               cell.time());
            };
            break;
        }
        ack = wsim_kernel::make_trig_ack(pos, slot);
    } else {
        // A wider signal is watched in its own cell: any change of its value,
        // or a rise or fall of its least significant bit, judged against the
        // value seen when the trigger last fired (change marks are cleared
        // between regions, so they cannot tell).
        unsigned slot = 0;
        if (type == operand_t::BYTE)
            slot = state.access_bytes(sig_pos).add_triggered();
        else
            slot = state.access_longs(sig_pos).add_triggered();
        auto seen = std::make_shared<std::optional<uint64_t>>();
        trigger = [sig_pos, type, edge, seen] {
            auto& s = sim_state::instance();
            const uint64_t now_value = s.read_signal_val(sig_pos, type);
            const time_t when = s.signal_time(sig_pos, type);
            if (!seen->has_value()) {
                *seen = now_value;
                return std::pair<bool, time_t>(false, when);
            }
            const uint64_t before = **seen;
            bool fired = now_value != before;
            if (edge == WEdgeKind::PosEdge)
                fired = (now_value & 1) && !(before & 1);
            else if (edge == WEdgeKind::NegEdge)
                fired = !(now_value & 1) && (before & 1);
            if (!fired)
                *seen = now_value;
            return std::pair<bool, time_t>(fired, when);
        };
        const int slot_ack = state.add_trig_ack(wsim_kernel::make_trig_ack(pos, type, slot));
        ack = [sig_pos, type, seen, slot_ack] {
            auto& s = sim_state::instance();
            *seen = s.read_signal_val(sig_pos, type);
            s.trig_acks(slot_ack)();
        };
    }
    const int trig_idx = state.add_trig(std::move(trigger));
    const int ack_idx = state.add_trig_ack(std::move(ack));
    _trigger_events[trig_idx] = {TriggerEvent{sig_pos, edge, type}};
    return {trig_idx, ack_idx};
}

std::pair<int, int> SimulatorBuilder::buildTriggerFromList(const std::vector<TriggerEvent>& events) {
    if (events.empty())
        return {0, 0};
    auto& state = sim_state::instance();
    std::vector<unsigned> triggers;
    std::vector<unsigned> acks;
    for (const TriggerEvent& e : events) {
        const auto [t, a] = buildTrigger(e.pos, e.edge, e.type);
        triggers.push_back(static_cast<unsigned>(t));
        acks.push_back(static_cast<unsigned>(a));
    }
    int combined = static_cast<int>(triggers[0]);
    for (size_t i = 1; i < triggers.size(); ++i)
        combined = state.add_trig(
            wsim_kernel::make_trig_or(static_cast<unsigned>(combined), triggers[i]));
    const int ack = state.add_trig_ack([triggers, acks] {
        auto& s = sim_state::instance();
        for (size_t i = 0; i < triggers.size(); ++i)
            if (s.trigs(static_cast<int>(triggers[i]))().first)
                s.trig_acks(static_cast<int>(acks[i]))();
    });
    _trigger_events[combined] = events;
    return {combined, ack};
}

std::pair<int, int> SimulatorBuilder::buildFreshTrigger() {
    if (!stored_event_list.empty())
        return buildTriggerFromList(stored_event_list);
    if (stored_sig_pos != 0)
        return buildTrigger(stored_sig_pos, stored_edge, stored_sig_type);
    return {0, 0};
}

int SimulatorBuilder::extractDelay(const TimingControl& tc) {
    if (tc.kind != TimingControlKind::Delay)
        return 0;
    const Expression& e = tc.as<DelayControl>().expr;
    if (e.kind != ExpressionKind::IntegerLiteral)
        return 0;
    return static_cast<int>(e.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0));
}

TriggerEvent SimulatorBuilder::extractTriggerInfo(const TimingControl& tc) {
    if (tc.kind != TimingControlKind::SignalEvent)
        return {};
    const auto& event = tc.as<SignalEventControl>();
    if (!isSignalReference(event.expr))
        return {};
    const std::string name = resolveOperandName(event.expr);
    if (name.empty() || !isRegistered(name))
        return {};
    return TriggerEvent{signal_positions[name], toWEdge(event.edge), getSignalType(name)};
}

std::vector<TriggerEvent> SimulatorBuilder::extractEventList(const TimingControl& tc) {
    std::vector<TriggerEvent> events;
    if (tc.kind != TimingControlKind::EventList)
        return events;
    for (const TimingControl* event : tc.as<EventListControl>().events) {
        if (!event || event->kind != TimingControlKind::SignalEvent)
            continue;
        const TriggerEvent info = extractTriggerInfo(*event);
        if (info.pos != 0)
            events.push_back(info);
    }
    return events;
}

void SimulatorBuilder::storeTimingControl(const TimingControl& tc) {
    std::vector<TriggerEvent> events = extractEventList(tc);
    if (!events.empty()) {
        stored_event_list = std::move(events);
        stored_sig_pos = 0;
        stored_edge = WEdgeKind::None;
        stored_sig_type = operand_t::BIT;
        return;
    }
    stored_event_list.clear();
    const TriggerEvent info = extractTriggerInfo(tc);
    stored_sig_pos = info.pos;
    stored_edge = info.edge;
    stored_sig_type = info.type;
}
