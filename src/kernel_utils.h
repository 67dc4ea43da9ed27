// Factories for the common closures of the model. Every closure captures only
// indices and reads sim_state::instance() when called, so it stays valid while
// the tables grow.
#pragma once

#include "kernel.h"

namespace wsim_kernel {

// Conditions over one-bit signals (positions in the bit store).
exp_t make_state(unsigned b);
exp_t make_not_state(unsigned b);
exp_t make_eq_state(unsigned b1, unsigned b2);
exp_t make_not_eq_state(unsigned b1, unsigned b2);

// Conditions over signals of any store: a value is true when non-zero, and
// two signals are equal when their values are.
exp_t make_state(unsigned pos, operand_t type);
exp_t make_not_state(unsigned pos, operand_t type);
exp_t make_eq_state(unsigned pos1, operand_t type1, unsigned pos2, operand_t type2);
exp_t make_not_eq_state(unsigned pos1, operand_t type1, unsigned pos2, operand_t type2);

// Both closures always run.
exp_t make_bool_or(unsigned e1, unsigned e2);
exp_t make_bool_and(unsigned e1, unsigned e2);
exp_t make_call_all(unsigned e1, unsigned e2);

// Edge triggers over a bit, judged from its changed mark and current value;
// the time answered is the bit's last write.
trig_t make_posedge_trig_exp(unsigned b);
trig_t make_negedge_trig_exp(unsigned b);
trig_t make_anyedge_trig_exp(unsigned b);
// The same over a signal of any store; rise and fall are those of its least
// significant bit.
trig_t make_posedge_trig_exp(unsigned pos, operand_t type);
trig_t make_negedge_trig_exp(unsigned pos, operand_t type);
trig_t make_anyedge_trig_exp(unsigned pos, operand_t type);

trig_t make_trig_or(unsigned t1, unsigned t2);
trig_t make_trig_and(unsigned t1, unsigned t2);

// Consumes slot `s` of bit `b`; once every slot is consumed the bit's changed
// mark is cleared.
trig_ack_t make_trig_ack(unsigned b, unsigned s);
// The same on a signal of any store.
trig_ack_t make_trig_ack(unsigned pos, operand_t type, unsigned s);
trig_ack_t make_call_all_trig_ack(unsigned a1, unsigned a2);

exp_t make_seq_eval(unsigned q);

// Sampled-value functions of a property over stable entry `e`: they compare
// the signal's sampled value now with its sampled value at the property's
// previous clock tick (the declared value before the first tick).
// $rose and $fell look at the least significant bit.
exp_t make_sampled_rose(unsigned e);
exp_t make_sampled_fell(unsigned e);
exp_t make_sampled_stable(unsigned e);
exp_t make_sampled_changed(unsigned e);

// Closure `e` evaluated against current values even while properties are
// shown sampled ones: a disable condition is not sampled.
exp_t make_current_value_exp(unsigned e);

extern const exp_t false_always;
extern const exp_t true_always;
extern const op bit_val;
extern const op not_bit_val;

} // namespace wsim_kernel
