// The Node-API module wexla.node: eighteen JavaScript functions over the two
// families of exported entry points. Every handler runs synchronously on the
// JavaScript thread; no exception ever leaves a handler.
#include <node_api.h>

#include "answer_limit.h"
#include "api.h"
#include "api_db.h"
#include "engine_turn.h"
#include "json_escape.h"
#include "kernel.h"
#include "lsp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

namespace {

// ---- Values ----

napi_valuetype typeOf(napi_env env, napi_value value) {
    napi_valuetype type = napi_undefined;
    napi_typeof(env, value, &type);
    return type;
}

bool isArray(napi_env env, napi_value value) {
    bool result = false;
    napi_is_array(env, value, &result);
    return result;
}

bool exceptionPending(napi_env env) {
    bool pending = false;
    napi_is_exception_pending(env, &pending);
    return pending;
}

napi_value throwTypeError(napi_env env, const char* message) {
    napi_throw_type_error(env, nullptr, message);
    return nullptr;
}

// Truncates toward zero inside the int range; NaN and infinities give 0.
int doubleToInt(double d) {
    if (!std::isfinite(d))
        return 0;
    if (d >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (d <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(d);
}

// The same in the 64-bit range, for times.
int64_t doubleToInt64(double d) {
    if (!std::isfinite(d))
        return 0;
    // 2^63 is the first double past the range.
    if (d >= 9223372036854775808.0)
        return std::numeric_limits<int64_t>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
}

// Reads a JavaScript string as UTF-8.
std::string stringValue(napi_env env, napi_value value) {
    size_t length = 0;
    napi_get_value_string_utf8(env, value, nullptr, 0, &length);
    std::string out(length + 1, '\0');
    size_t copied = 0;
    napi_get_value_string_utf8(env, value, out.data(), out.size(), &copied);
    out.resize(copied);
    return out;
}

// The engine passes texts and paths on as C strings, where a NUL would end
// them early: the text before it would be simulated, a shorter file written.
bool refuseNul(napi_env env, const std::string& text, const char* name) {
    if (text.find('\0') == std::string::npos)
        return true;
    const std::string message = std::string("'") + name + "' must not contain a NUL character";
    throwTypeError(env, message.c_str());
    return false;
}

// `name` is the argument's name in the refusal of a text holding a NUL.
bool NapiValueToString(napi_env env, napi_value value, std::string& out, const char* name) {
    if (typeOf(env, value) != napi_string) {
        throwTypeError(env, "Expected a string");
        return false;
    }
    out = stringValue(env, value);
    return refuseNul(env, out, name);
}

bool NapiValueToInt(napi_env env, napi_value value, int& out) {
    if (typeOf(env, value) != napi_number) {
        throwTypeError(env, "NapiValueToInt: expected a number");
        return false;
    }
    double d = 0;
    napi_get_value_double(env, value, &d);
    out = doubleToInt(d);
    return true;
}

// The same in the 64-bit range, for times.
bool NapiValueToInt64(napi_env env, napi_value value, int64_t& out) {
    if (typeOf(env, value) != napi_number) {
        throwTypeError(env, "NapiValueToInt: expected a number");
        return false;
    }
    double d = 0;
    napi_get_value_double(env, value, &d);
    out = doubleToInt64(d);
    return true;
}

bool NapiValueToStringVector(napi_env env, napi_value value, std::vector<std::string>& out,
                             const char* name) {
    out.clear();
    if (!isArray(env, value)) {
        std::string single;
        if (!NapiValueToString(env, value, single, name)) {
            throwTypeError(env, "NapiValueToStringVector: could not coerce value to string");
            return false;
        }
        out.push_back(std::move(single));
        return true;
    }
    uint32_t length = 0;
    if (napi_get_array_length(env, value, &length) != napi_ok)
        return false;
    for (uint32_t i = 0; i < length; ++i) {
        napi_value element = nullptr;
        if (napi_get_element(env, value, i, &element) != napi_ok)
            return false;
        std::string text;
        if (!NapiValueToString(env, element, text, name)) {
            throwTypeError(env, "NapiValueToStringVector: could not coerce element to string");
            return false;
        }
        out.push_back(std::move(text));
    }
    return true;
}

bool NapiValueToIntVector(napi_env env, napi_value value, std::vector<int>& out) {
    out.clear();
    const bool array = isArray(env, value);
    uint32_t count = 1;
    if (array && napi_get_array_length(env, value, &count) != napi_ok)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        napi_value element = value;
        if (array && napi_get_element(env, value, i, &element) != napi_ok)
            return false;
        napi_value number = nullptr;
        if (napi_coerce_to_number(env, element, &number) != napi_ok) {
            throwTypeError(env, "NapiValueToIntVector: could not coerce element to number");
            return false;
        }
        double d = 0;
        napi_get_value_double(env, number, &d);
        out.push_back(doubleToInt(d));
    }
    return true;
}

// The property `key`, or nullptr when it is undefined or cannot be read.
napi_value propertyOf(napi_env env, napi_value object, const char* key) {
    napi_value value = nullptr;
    if (napi_get_named_property(env, object, key, &value) != napi_ok)
        return nullptr;
    return typeOf(env, value) == napi_undefined ? nullptr : value;
}

// A number property as a double; a present value that is not a number reads
// as absent, and says so.
bool numberProperty(napi_env env, napi_value object, const char* key, double& out) {
    napi_value value = propertyOf(env, object, key);
    if (!value)
        return false;
    if (typeOf(env, value) != napi_number) {
        std::cerr << "[CONFIG] '" << key << "' is not a number; the default is used" << std::endl;
        return false;
    }
    napi_get_value_double(env, value, &out);
    return true;
}

bool GetIntProp(napi_env env, napi_value object, const char* key, int& out) {
    double d = 0;
    if (!numberProperty(env, object, key, d))
        return false;
    out = doubleToInt(d);
    return true;
}

bool GetInt64Prop(napi_env env, napi_value object, const char* key, int64_t& out) {
    double d = 0;
    if (!numberProperty(env, object, key, d))
        return false;
    out = doubleToInt64(d);
    return true;
}

// JavaScript String() of a value; false with an exception pending when it throws.
bool coerceToString(napi_env env, napi_value value, std::string& out) {
    napi_value text = nullptr;
    if (napi_coerce_to_string(env, value, &text) != napi_ok)
        return false;
    out = stringValue(env, text);
    return true;
}

bool GetStringProp(napi_env env, napi_value object, const char* key, std::string& out) {
    napi_value value = propertyOf(env, object, key);
    return value && coerceToString(env, value, out) && refuseNul(env, out, key);
}

bool GetStringArrayProp(napi_env env, napi_value object, const char* key,
                        std::vector<std::string>& out) {
    out.clear();
    napi_value value = propertyOf(env, object, key);
    if (!value)
        return false;
    if (!isArray(env, value)) {
        throwTypeError(env, "expected property to be an array");
        return false;
    }
    uint32_t length = 0;
    if (napi_get_array_length(env, value, &length) != napi_ok)
        return false;
    for (uint32_t i = 0; i < length; ++i) {
        napi_value element = nullptr;
        std::string text;
        if (napi_get_element(env, value, i, &element) != napi_ok ||
            !coerceToString(env, element, text) || !refuseNul(env, text, key))
            return false;
        std::cerr << text << std::endl;
        out.push_back(std::move(text));
    }
    return true;
}

void print_napi_error(napi_env env, const char* where) {
    const napi_extended_error_info* info = nullptr;
    napi_get_last_error_info(env, &info);
    const char* message = info && info->error_message ? info->error_message : "unknown";
    const int code = info ? static_cast<int>(info->error_code) : -1;
    std::fprintf(stderr, "[napi error] %s: %s (status=%d)\n", where, message, code);
}

// ---- Handler frame ----

struct Arguments {
    size_t count = 0;
    napi_value values[3] = {nullptr, nullptr, nullptr};
};

// Missing argument slots hold undefined.
Arguments argumentsOf(napi_env env, napi_callback_info info, size_t wanted) {
    Arguments args;
    args.count = wanted;
    napi_get_cb_info(env, info, &args.count, args.values, nullptr, nullptr);
    return args;
}

// What to ask for instead of an answer past the limit, when a handler has no better advice.
constexpr const char* kAskForLess = "ask for less at a time";

// A text as a JavaScript string. A text past the answer limit is never handed
// over (Node would abort the process): an error answer says how large it was
// and, in `narrow`, what to ask for instead.
napi_value stringResult(napi_env env, std::string_view text, const char* narrow = kAskForLess) {
    std::string refusal;
    if (text.size() > kMaxAnswerBytes) {
        const std::string message = answerTooLargeMessage(text.size(), narrow);
        std::cerr << "[ANSWER] " << message << std::endl;
        refusal = "{\"success\":false,\"error\":\"" + json_escape(message) + "\"}";
        text = refusal;
    }
    napi_value result = nullptr;
    napi_create_string_utf8(env, text.data(), text.size(), &result);
    return result;
}

// An entry point's text; JavaScript null when it gave none.
napi_value textResult(napi_env env, const char* text, const char* narrow = kAskForLess) {
    if (text == nullptr) {
        napi_value result = nullptr;
        napi_get_null(env, &result);
        return result;
    }
    return stringResult(env, text, narrow);
}

void logResult(const char* text) {
    std::cerr << "[RUN] result ptr=" << static_cast<const void*>(text) << std::endl;
    if (text)
        std::cerr << "[RUN] result length=" << std::string_view(text).size() << std::endl;
    else
        std::cerr << "[RUN] result is NULL" << std::endl;
}

napi_value loggedTextResult(napi_env env, const char* text, const char* narrow) {
    logResult(text);
    return textResult(env, text, narrow);
}

// Runs a handler body in the caller's turn (a call from another thread waits
// for it); an exception becomes an error JSON answer instead of crossing into Node.
template <typename Body>
napi_value guarded(napi_env env, Body&& body) {
    const EngineTurn turn;
    try {
        return body();
    } catch (const std::exception& e) {
        return stringResult(env, "{\"error\":\"" + json_escape(e.what()) + "\"}");
    } catch (...) {
        return stringResult(env, "{\"error\":\"Unknown exception\"}");
    }
}

// ---- Configuration ----

struct ProjectConfig {
    int64_t start_time = 0;
    int waveform_window_size = -1;  // no window
    int64_t max_sim_time = 0;
    int max_sim_cycle = 1000;
    std::string time_unit;
    std::string working_hierarchy;
    std::string database_path;
    std::vector<std::string> pathlist;
};

// The cycle limit: Infinity means none (as many cycles as the limit holds);
// NaN and negative counts are refused. False after raising.
bool readCycleLimit(napi_env env, napi_value object, int& out) {
    double d = 0;
    if (!numberProperty(env, object, "max_sim_cycles", d))
        return true;
    if (std::isnan(d) || d < 0) {
        const std::string message = "'max_sim_cycles' must be a count of 0 or more (Infinity "
                                    "for no limit), not " +
                                    std::string(std::isnan(d) ? "NaN" : "a negative number");
        napi_throw_range_error(env, nullptr, message.c_str());
        return false;
    }
    out = doubleToInt(std::isinf(d) ? std::numeric_limits<double>::max() : d);
    return true;
}

// The database file's path: a string, never a value made one ("null").
bool readDatabasePath(napi_env env, napi_value object, std::string& out) {
    napi_value value = propertyOf(env, object, "db_path");
    if (!value)
        return true;
    if (typeOf(env, value) != napi_string) {
        throwTypeError(env, "'db_path' must be a string");
        return false;
    }
    out = stringValue(env, value);
    return refuseNul(env, out, "db_path");
}

// Reads the keys in their order; false as soon as one has raised.
bool readProjectConfig(napi_env env, napi_value object, ProjectConfig& config) {
    GetInt64Prop(env, object, "start_time", config.start_time);
    GetIntProp(env, object, "waveform_window_size", config.waveform_window_size);
    GetInt64Prop(env, object, "max_sim_time", config.max_sim_time);
    if (exceptionPending(env) || !readCycleLimit(env, object, config.max_sim_cycle))
        return false;
    GetStringProp(env, object, "time_unit", config.time_unit);
    GetStringProp(env, object, "working_hierarchy", config.working_hierarchy);
    if (exceptionPending(env) || !readDatabasePath(env, object, config.database_path))
        return false;
    GetStringArrayProp(env, object, "sources", config.pathlist);
    return !exceptionPending(env);
}

// ---- Injection requests ----

// A string property of a request; false after raising or reporting.
bool requestString(napi_env env, napi_value element, const char* key, const char* type_message,
                   std::string& out) {
    napi_value value = nullptr;
    if (napi_get_named_property(env, element, key, &value) != napi_ok) {
        print_napi_error(env, key);
        return false;
    }
    if (typeOf(env, value) != napi_string) {
        throwTypeError(env, type_message);
        return false;
    }
    out = stringValue(env, value);
    return refuseNul(env, out, key);
}

bool requestStringList(napi_env env, napi_value element, const char* key,
                       const char* array_message, const char* element_message,
                       std::vector<std::string>& out) {
    napi_value value = nullptr;
    if (napi_get_named_property(env, element, key, &value) != napi_ok) {
        print_napi_error(env, key);
        return false;
    }
    if (!isArray(env, value)) {
        throwTypeError(env, array_message);
        return false;
    }
    uint32_t length = 0;
    if (napi_get_array_length(env, value, &length) != napi_ok)
        return false;
    for (uint32_t i = 0; i < length; ++i) {
        napi_value item = nullptr;
        if (napi_get_element(env, value, i, &item) != napi_ok)
            return false;
        if (typeOf(env, item) != napi_string) {
            throwTypeError(env, element_message);
            return false;
        }
        out.push_back(stringValue(env, item));
        if (!refuseNul(env, out.back(), key))
            return false;
    }
    return true;
}

bool requestFrom(napi_env env, napi_value element, Query& query) {
    if (typeOf(env, element) != napi_object) {
        throwTypeError(env, "element must be an JSON object");
        return false;
    }
    if (!requestString(env, element, "file", "'file' must be a string", query.file) ||
        !requestString(env, element, "module", "'module' must be a string", query.module_name))
        return false;

    napi_value line = nullptr;
    if (napi_get_named_property(env, element, "line", &line) != napi_ok) {
        print_napi_error(env, "line");
        return false;
    }
    if (typeOf(env, line) != napi_number) {
        throwTypeError(env, "'line' must be a number");
        return false;
    }
    napi_get_value_int32(env, line, &query.line_no);

    if (!requestStringList(env, element, "property_list",
                           "'property_list' must be an array of strings",
                           "'property_list' elements must be strings", query.property_list) ||
        !requestStringList(env, element, "label_list", "'label_list' must be an array of strings",
                           "'label_list' elements must be strings", query.label_list))
        return false;
    if (query.label_list.size() < query.property_list.size()) {
        throwTypeError(env, "'label_list' must have one label per property");
        return false;
    }
    query.print();
    return true;
}

// ---- The eighteen handlers ----

napi_value Run(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (verilog string)");
        std::string source;
        if (!NapiValueToString(env, args.values[0], source, "source"))
            return nullptr;
        return loggedTextResult(env, ingest(source.c_str()),
                                "simulate a smaller design or a shorter run");
    });
}

napi_value RunMultiFile(napi_env env, napi_callback_info) {
    return guarded(env, [&] {
        return textResult(env, get_simulate_multi_file(),
                          "ask for the run in windows (getTimelineWindow) or step by step");
    });
}

napi_value RunOnlyInit(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return textResult(env, get_ingest_only_init(),
                              "choose a smaller waveform window or working hierarchy");
        std::string source;
        if (!NapiValueToString(env, args.values[0], source, "source"))
            return nullptr;
        return loggedTextResult(env, ingest_only_init(source.c_str()),
                                "simulate a smaller design or a shorter run");
    });
}

napi_value Compile(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (pathlist)");
        std::vector<std::string> paths;
        if (!NapiValueToStringVector(env, args.values[0], paths, "paths"))
            return nullptr;
        return loggedTextResult(env, compile(paths), "compile fewer files at once");
    });
}

napi_value GetModuleByName(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (module name)");
        std::string name;
        if (!NapiValueToString(env, args.values[0], name, "name"))
            return nullptr;
        return loggedTextResult(env, get_module_by_name(name),
                                "read the module's rows from the project database "
                                "(processSQLQuery) instead");
    });
}

napi_value InjectSVAAssertions(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1 || !isArray(env, args.values[0]))
            return throwTypeError(env, "Expected an array of JSON objects");
        uint32_t length = 0;
        napi_get_array_length(env, args.values[0], &length);
        std::cerr << "[INJECT AND SIM] " << length << std::endl;
        std::vector<Query> requests;
        for (uint32_t i = 0; i < length; ++i) {
            napi_value element = nullptr;
            Query query;
            if (napi_get_element(env, args.values[0], i, &element) != napi_ok ||
                !requestFrom(env, element, query))
                return nullptr;
            requests.push_back(std::move(query));
        }
        return textResult(env, inject_and_simulate_db(requests),
                          "inject fewer properties at once");
    });
}

napi_value GetHierarchy(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (integer id or string instance path)");
        const napi_valuetype type = typeOf(env, args.values[0]);
        if (type == napi_number) {
            int id = 0;
            if (!NapiValueToInt(env, args.values[0], id))
                return nullptr;
            return textResult(env, get_hierarchy_int(id), "ask for a subtree further down");
        }
        if (type == napi_string) {
            std::string path;
            if (!NapiValueToString(env, args.values[0], path, "path"))
                return nullptr;
            return textResult(env, get_hierarchy_string(path), "ask for a subtree further down");
        }
        return throwTypeError(env, "expected integer or string");
    });
}

napi_value GetParentHierarchy(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (instance id)");
        int id = 0;
        if (!NapiValueToInt(env, args.values[0], id))
            return nullptr;
        return loggedTextResult(env, get_parent_hierarchy_db(id),
                                "ask for a subtree further down");
    });
}

napi_value CaptureYAMLData(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        std::cerr << "[CAPTURE YAML DATA]" << std::endl;
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (JSON string)");
        if (typeOf(env, args.values[0]) != napi_object)
            return throwTypeError(env, "expected a JSON object");

        ProjectConfig config;
        if (!readProjectConfig(env, args.values[0], config))
            return nullptr;
        const std::string result = initialize_project_structure(
            config.pathlist, config.database_path, config.time_unit, config.working_hierarchy,
            config.start_time, config.waveform_window_size, config.max_sim_time,
            config.max_sim_cycle);

        napi_value text = stringResult(env, result, "compile fewer files at once");
        if (!text) {
            napi_throw_error(env, nullptr, "failed to create string");
            return nullptr;
        }
        return text;
    });
}

napi_value processSQLQuery(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        std::cerr << "[PROCESS SQL QUERY]" << std::endl;
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (string sql query)");
        std::string sql;
        if (!NapiValueToString(env, args.values[0], sql, "sql"))
            return nullptr;
        return textResult(env, process_sql_query(sql), "narrow the query");
    });
}

// stepForward and stepBackward: an object argument (an array included) names
// the instances; anything else steps the plain cursor.
template <typename ForList, typename Plain>
napi_value step(napi_env env, napi_callback_info info, ForList&& for_list, Plain&& plain) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1 || typeOf(env, args.values[0]) != napi_object)
            return textResult(env, plain(), "list the instances to show");
        std::vector<int> ids;
        if (!NapiValueToIntVector(env, args.values[0], ids))
            return nullptr;
        return textResult(env, for_list(ids), "list fewer instances");
    });
}

napi_value StepForward(napi_env env, napi_callback_info info) {
    return step(env, info, get_next_timestep_hier_db, get_next_timestep_db);
}

napi_value StepBackward(napi_env env, napi_callback_info info) {
    return step(env, info, get_prev_timestep_hier_db, get_prev_timestep_db);
}

napi_value GetCurrentStepInstanceList(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (list of instance id's)");
        std::vector<int> ids;
        if (!NapiValueToIntVector(env, args.values[0], ids))
            return nullptr;
        return textResult(env, get_timeline_step_inst_list(ids), "list fewer instances");
    });
}

napi_value SetCurrentHierarchy(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (instance_id)");
        int id = 0;
        if (!NapiValueToInt(env, args.values[0], id))
            return nullptr;
        return stringResult(env, current_hierarchy_answer(id));
    });
}

napi_value GetPropertyResults(napi_env env, napi_callback_info) {
    return guarded(env, [&] {
        return textResult(env, get_property_results_db(),
                          "read the assertionevents table in parts (processSQLQuery)");
    });
}

napi_value GetTimelineWindow(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 3);
        if (args.count < 3)
            return throwTypeError(
                env, "expected 3 arguments(centerTime number, radius number, label string)");
        int64_t center = 0;
        int64_t radius = 0;
        std::string label;
        if (!NapiValueToInt64(env, args.values[0], center) ||
            !NapiValueToInt64(env, args.values[1], radius) ||
            !NapiValueToString(env, args.values[2], label, "label"))
            return nullptr;
        const auto widen = [](int64_t v) { return static_cast<uint64_t>(v); };
        return textResult(env, get_timeline_window_db(widen(center), widen(radius), label),
                          "use a smaller radius");
    });
}

napi_value LSP_Tokenize(napi_env env, napi_callback_info info) {
    return guarded(env, [&]() -> napi_value {
        const Arguments args = argumentsOf(env, info, 1);
        if (args.count < 1)
            return throwTypeError(env, "expected 1 argument (string document)");
        // Measured before it is copied.
        size_t bytes = 0;
        if (typeOf(env, args.values[0]) == napi_string &&
            napi_get_value_string_utf8(env, args.values[0], nullptr, 0, &bytes) == napi_ok &&
            bytes > LSP::kMaxDocumentBytes) {
            const std::string message = "tokenize: the document is " + std::to_string(bytes) +
                                        " bytes; at most " +
                                        std::to_string(LSP::kMaxDocumentBytes) + " are tokenized";
            napi_throw_range_error(env, nullptr, message.c_str());
            return nullptr;
        }
        std::string document;
        if (!NapiValueToString(env, args.values[0], document, "document"))
            return nullptr;
        const auto tokens = LSP::instance().getTokenList(document);
        document = std::string();
        napi_value outer = nullptr;
        napi_create_array_with_length(env, tokens.size(), &outer);
        // Each record's values go with a scope of their own, or every handle
        // would live until the call returns.
        for (size_t i = 0; i < tokens.size(); ++i) {
            napi_handle_scope scope = nullptr;
            napi_open_handle_scope(env, &scope);
            napi_value inner = nullptr;
            napi_create_array_with_length(env, tokens[i].size(), &inner);
            for (size_t j = 0; j < tokens[i].size(); ++j) {
                napi_value number = nullptr;
                napi_create_int32(env, tokens[i][j], &number);
                napi_set_element(env, inner, static_cast<uint32_t>(j), number);
            }
            napi_set_element(env, outer, static_cast<uint32_t>(i), inner);
            napi_close_handle_scope(env, scope);
        }
        return outer;
    });
}

napi_value shutdown(napi_env env, napi_callback_info) {
    return guarded(env, [&]() -> napi_value {
        return stringResult(env, shutdown_project());
    });
}

struct FunctionEntry {
    const char* name;
    napi_callback fn;
};

const FunctionEntry fns[] = {
    {"run", Run},
    {"runMultiFile", RunMultiFile},
    {"init", RunOnlyInit},
    {"compile", Compile},
    {"getModuleByName", GetModuleByName},
    {"injectAndSim", InjectSVAAssertions},
    {"getHierarchy", GetHierarchy},
    {"getParentHierarchy", GetParentHierarchy},
    {"json2_callback", CaptureYAMLData},
    {"processSQLQuery", processSQLQuery},
    {"stepForward", StepForward},
    {"stepBackward", StepBackward},
    {"getCurrentStep", GetCurrentStepInstanceList},
    {"setCurrentHierarchy", SetCurrentHierarchy},
    {"getPropertyResults", GetPropertyResults},
    {"getTimelineWindow", GetTimelineWindow},
    {"tokenize", LSP_Tokenize},
    {"shutdown", shutdown},
};

} // namespace

extern "C" {

napi_value Init(napi_env env, napi_value exports) {
    for (const auto& entry : fns) {
        napi_value f = nullptr;
        napi_create_function(env, nullptr, 0, entry.fn, nullptr, &f);
        napi_set_named_property(env, exports, entry.name, f);
    }
    return exports;
}

NAPI_MODULE_EXPORT int32_t node_api_module_get_api_version_v1() { return 8; }

NAPI_MODULE_EXPORT napi_value napi_register_module_v1(napi_env env, napi_value exports) {
    return Init(env, exports);
}

}
