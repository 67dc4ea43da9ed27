// The in-memory family of exported entry points: simulate a text or compile a
// file list through the orchestrator, and answer steps, windows and property
// events from the in-memory recorder. Every answer is a NUL-terminated JSON
// text owned by this family; copy it at once.
#pragma once

#include "analysis.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" {

const char* ingest(const char* verilogCode);
const char* get_cfg(const char* verilogCode);
const char* ingest_only_init(const char* verilogCode);
// Valid until the next get_timeline_window (or freeResult of it).
const char* get_timeline_window(uint64_t center_time, uint64_t radius);
// Valid until the next get_property_results (or freeResult of it).
const char* get_property_results();
const char* get_next_timestep();
const char* get_prev_timestep();
const char* compile(const std::vector<std::string>& paths);
const char* get_module_by_name(const std::string& n);
const char* inject_and_simulate(const std::vector<Query>& qlist);
const char* get_all_modules();
const char* get_hierarchy_string(const std::string& m_name);
const char* get_hierarchy_int(int inst_id);
// Frees a text this family handed out; the initial-state text and unknown
// pointers are left alone.
void freeResult(const char* result);

}
