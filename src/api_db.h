// The database-backed family of exported entry points: configure a project,
// simulate it into the project database, move the step cursor, and forward
// the database's JSON queries. Answers are NUL-terminated texts owned by this
// family (copy them at once) unless said otherwise.
#pragma once

#include "analysis.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" {

const char* get_ingest(const char* verilogCode);
const char* get_simulate_multi_file();
const char* get_ingest_only_init();
const char* inject_and_simulate_db(const std::vector<Query>& qlist);
const char* get_next_timestep_db();
const char* get_next_timestep_hier_db(const std::vector<int>& ids);
const char* get_prev_timestep_db();
const char* get_prev_timestep_hier_db(const std::vector<int>& ids);
const char* process_sql_query(const std::string& sql);
const char* get_timeline_window_db(uint64_t centerTime, uint64_t radius, const std::string& label);
const char* get_all_modules_db();
const char* get_hierarchy_db(const char* module_name);
const char* get_parent_hierarchy_db(int inst_id);
const char* get_all_signals_db();
const char* get_signals_by_module_db(const char* module);
const char* get_property_results_db();
const char* get_property_timeline_db();
const char* get_property_timeline_step_db(int step);
const char* get_signal_changes_db();
const char* get_project_state_db();
const char* get_full_timeline_db();
const char* get_full_timeline_db_inst(int inst_id);
const char* get_timeline_step_inst_list(const std::vector<int>& ids);
// Opens the project database at db_loc, stores the settings (unscaled) and
// the sources, compiles them; answers the compile text (not a kept buffer).
std::string initialize_project_structure(const std::vector<std::string>& pathlist,
                                         const std::string& db_loc, const std::string& time_unit,
                                         const std::string& working_hierarchy, int64_t start_time,
                                         int waveform_window_size, int64_t max_sim_time,
                                         int max_sim_cycle);
void set_current_hierarchy(int inst_id);
void reset_cursor_db();
int get_cursor_db();
const char* get_cfg_db(const char* verilogCode);
void freeResult_db(const char* result);

}

// The exported shutdown() under a name of its own: in a loaded module a call
// to "shutdown" may bind to the C library's socket function instead. Saves the
// project to its file; answers {"success": ..., "error": ...}, the error
// saying why the save failed (the folder gone, the disk full).
std::string shutdown_project();
// set_current_hierarchy() with an answer: "null", or {"error": ...} when no
// project is configured.
std::string current_hierarchy_answer(int inst_id);
