// The project database: an in-memory SQLite store copied to a file on save.
#pragma once

#include "time_units.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One instance of a hierarchy answer: a row of `instances` and the instances below it.
struct Node {
    std::string name;
    std::string base_m;
    int par = 0;
    int id = 0;
    int start_line = 0;
    int end_line = 0;
    std::string file;
    std::vector<Node*> children;  // owned by the query's node table

    static std::string escapeJson(const std::string& text);
    std::string toJson() const;
};

class FailedWrites;

class Database {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    Database(const std::string& path, Passkey);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Stores the path used by the first instance(). Once the instance exists,
    // a different path saves the current project to its file and moves the
    // database to the new file (starting it afresh there). A file that may
    // not hold a project (refusalOf) is refused with a runtime error naming
    // it, and the project stays where it was.
    static void init(const std::string& path);
    static Database& instance();
    // Whether a project path was given: instance() throws until one is.
    static bool configured();
    // Why the file at `path` may not become a project's database, or nullopt:
    // an absent or empty file may, and a project database of this engine. A
    // file is only read to tell; a refused one is never written.
    static std::optional<std::string> refusalOf(const std::string& path);

    // Copies the project to its file and checks that the file holds what was
    // copied; on failure answers false and, when asked, says why in `why`.
    bool save(std::string* why = nullptr);
    // Whether the file holds the project as it is (every table's rows, and
    // nothing damaged); when not, says why in `why`.
    bool fileHoldsProject(std::string* why);
    const char* get_path() const { return db_path.c_str(); }

    bool exec_sql(const std::string& sql);
    // A run fills its empty tables faster without their indexes, and builds
    // them again, as the schema makes them, before its rows are committed.
    bool dropRunIndexes();
    bool createRunIndexes();
    // A run that writes timeline and queue rows only may check their keys
    // here instead of in SQLite (a lookup in a set instead of a search of the
    // parent table per row): a row that refers to nothing still fails, with
    // SQLite's own message. Called outside a transaction; answers whether
    // SQLite's checks are off.
    bool checkRunKeysHere();
    // Back to SQLite's checks; nothing to do when they are on.
    void checkKeysInSQLite();
    // Runs one statement, kept prepared for the next time; a failure is
    // reported as exec_sql reports it.
    bool runKept(const char* sql);
    void clear(bool structure);
    bool purge(const std::string& table);
    // Empties the tables in one transaction, children before parents, keys
    // checked at its end (a purge that leaves a row pointing nowhere is
    // undone); a table that fails is reported and the others are still emptied.
    bool purgeTogether(const std::vector<std::string>& tables);
    int getRecordCount(const std::string& table);
    static std::string process_retrieval_query(sqlite3* conn, const std::string& sql);
    std::string getQueryResults(const std::string& sql);
    // A host's own SQL: column 0 of the first row as text ("" without one), or
    // why it failed. A query still running after `time_limit` is interrupted,
    // and a text past the answer limit is refused.
    struct HostQueryAnswer {
        bool ok = true;
        std::string text;
        std::string error;
    };
    HostQueryAnswer runHostQuery(const std::string& sql, std::chrono::milliseconds time_limit);
    void setCurrentHierarchy(int instance_id) { current_working_hierarchy = instance_id; }
    int getCurrentHierarchy() const { return current_working_hierarchy; }
    void dumpMemoryContents();

    // Row inserts.
    bool insertModule(int m_id, const std::string& name, const std::string& file, int start_line,
                      int end_line);
    bool insertInstance(int inst_id, const std::string& inst_name, const std::string& file,
                        int start_line, int end_line, const std::string& base_m, int par_id,
                        const std::string& inst_path, bool isModule);
    bool insertSignal(const std::string& name, int signal_id, const std::string& file, int line,
                      int width, int isReg, int isPort, const std::string& type,
                      const std::string& module, int inst_id);
    bool insertProperty(const std::string& id, const std::string& label,
                        const std::string& instance_id);
    // The model's own record of a property: the instance that holds it
    // replaces what an injection guessed (a module's name, a partial path).
    bool insertPropertyOfInstance(const std::string& id, const std::string& label,
                                  const std::string& instance_path);
    bool insertProjectState(int def_max_sim_time, int def_max_sim_cycle, int def_sim_start,
                            int waveform_window_size, const std::string& def_sim_time_unit,
                            const std::string& def_hierarchy);
    // The outcome of the last simulation on the project row; no row, no change.
    bool updateSimulationOutcome(bool success, const std::string& error, uint64_t final_time);
    bool insertProjectStructure(const std::vector<std::string>& paths);
    // Files a compiled design refers to besides the listed sources
    // (project_files.h); a path already stored is left as it is.
    bool insertReferencedFiles(const std::vector<std::string>& paths);
    bool insertTimeline(int step, int64_t time, int current_file_id, int current_line,
                        int64_t signal_id, int64_t signal_val);
    // The signal named: its first id in the signals table (none: the insert fails).
    bool insertTimeline(int step, int64_t time, int current_file_id, int current_line,
                        const std::string& sig_name, int64_t signal_val);
    bool insertQueueState(int step, const std::string& type, int line, int file_id,
                          const std::string& instance_path, int64_t when_line);
    // One step's rows, several to a statement; each answers how many went in. A
    // batch that fails goes in row by row, so a bad row loses only itself.
    struct TimelineRow {
        int64_t signal_id = 0;
        int64_t value = 0;
    };
    int insertTimelineRows(int step, int64_t time, int current_file_id, int current_line,
                           const std::vector<TimelineRow>& rows);
    // Signal rows of a design, in the order given; `file_id` is the id of
    // their file in the project (getFileID).
    struct SignalRow {
        std::string name;
        int signal_id = 0;
        int file_id = -1;
        int line = 0;
        int width = 1;
        int isReg = 0;
        int isPort = 0;
        std::string type;
        std::string module;
        int instance_id = 0;
    };
    int insertSignalRows(const std::vector<SignalRow>& rows);
    bool insertSignalRow(const SignalRow& row);
    struct QueueRow {
        const char* type = "";
        int line = 0;
        int file_id = 0;
        std::string instance_path;
        int64_t when = 0;
    };
    int insertQueueRows(int step, const std::vector<QueueRow>& rows);
    bool insertPropertyTimeline(int step, const std::string& property_id,
                                const std::string& state);
    bool insertAssertionEvent(const std::string& property_id, int64_t time,
                              const std::string& result);

    // A source path as the file table spells it: absolute, weakly canonical.
    static std::string projectPath(const std::string& path);
    // The file `name` in the folder of the project database at `db_path`
    // (the console file, the engine's log). The folder is resolved, not the
    // file: a link at the file's name must not lead what is written there
    // into the file it points at.
    static std::string fileBeside(const std::string& db_path, const std::string& name);
    int getFileID(const std::string& file);
    std::map<std::string, int> getFileIDMap();

    // Instance hierarchy: subtrees as JSON, roots and children by ascending id.
    std::string getHierarchy(int inst_id);
    std::string getHierarchy(const std::string& inst_path);
    int findInstanceIDByPath(const std::string& path);
    // The dotted path findInstanceIDByPath reads back (top first); "" for no instance.
    std::string instancePathOf(int instance_id);
    std::string getAllModules();
    std::vector<int> getSubtreeInstanceIds(int root);
    std::string getParentHierarchy(int instance_id);

    // Recorded steps as JSON arrays, ascending by step.
    std::string getTimeline();
    std::string getTimelineStep(int step);
    std::string getTimelineForInstance(int instance_id);
    std::string getTimelineWindow(int64_t t0, int64_t t1, const std::vector<int>& instance_ids);
    std::string getTimelineForInstanceListByStep(const std::vector<int>& instance_ids, int step);
    std::string getModuleForProperty(const std::string& label);
    std::string getPropertyWaveformTimeline(uint64_t centerTime, uint64_t radius,
                                            const std::string& label);
    // The injected run's answer: its outcome as the project row keeps it, or
    // as given, and the recorded timeline.
    std::string injectAndSimResponse();
    std::string injectAndSimResponse(bool success, const std::string& error, int64_t final_time);

    // Steps and times; -1 where nothing was recorded.
    int getMinStep(int64_t time);
    int getMaxStep(int64_t time);
    int getMaxStep();
    int getTotalSteps();
    int64_t getMaxTime();
    // The first and last step of the configured waveform window, (-1, -1) when no
    // step lies inside it; without a window, -1 and the start time. The project
    // row keeps the window in the configured unit; `scale` gives the recorded
    // times' ticks.
    std::pair<int64_t, int64_t> getMinMaxStepWindow(const TickScale& scale = {});
    // The configured (start, start + window size), in ticks.
    std::pair<int64_t, int64_t> getTimeRange(const TickScale& scale = {});

    // Signals, properties and project settings as JSON.
    std::string hierSignalList();
    std::string getAllSignals();
    // Each signal name's id; the first by id where a name has several.
    std::map<std::string, int64_t> getSignalIds();
    std::string getSignalsByModule(const std::string& module);
    std::string getPropertyTimeline();
    std::string getPropertyTimelineStep(int step);
    std::string getAssertionEvents();
    std::string getSignalChanges();
    std::string getProjectState();

    sqlite3* handle() const { return db; }

private:
    friend class FailedWrites;
    // Every FailedWrites alive counts the failure.
    void noteWriteFailure(const std::string& reason);
    // Steps an insert (null: it did not prepare) once; a failure is reported
    // under `prefix` and counted.
    bool finishInsert(sqlite3_stmt* stmt, const char* prefix);
    bool insertPropertyRow(sqlite3_stmt* kept, const std::string& id, const std::string& label,
                           const std::string& instance);
    // Reports a failed statement under `prefix` on standard error and counts it.
    void reportWriteFailure(const std::string& prefix, const std::string& message);
    static std::string& path_();
    static Database*& live_();
    static void loadFromFile(sqlite3* memDb, const std::string& path);
    static bool dumpToFile(sqlite3* memDb, const std::string& path, std::string* why);
    // Drops every table and view the file brought (their indexes and
    // triggers go with them), whatever their names.
    void dropAllTables(sqlite3* conn);
    std::optional<int> childInstanceId(const std::string& name, int parent);
    void startFromFile();
    void switchFile(const std::string& path);

    // Statements run at every recorded step or event stay prepared for the connection's life.
    sqlite3_stmt* keptStatement(const char* sql);
    // The kept insert of `rows` rows of `columns` values each into `table`.
    sqlite3_stmt* keptBatchInsert(const char* table, const char* columns, int column_count,
                                  size_t rows);
    sqlite3_stmt* keptTimelineBatch(size_t rows);
    void finalizeKeptStatements();

    std::map<std::string, sqlite3_stmt*> kept_statements;
    // The kept batch inserts by table and rows, found without building their text.
    std::map<std::pair<const char*, size_t>, sqlite3_stmt*> batch_inserts;
    // The parents rows may refer to while checkRunKeysHere() holds.
    struct ParentKeys {
        std::unordered_set<int64_t> file_ids;
        std::unordered_set<int64_t> signal_ids;
        std::unordered_set<std::string> instance_paths;
    };
    std::optional<ParentKeys> keys_checked_here;
    bool timelineRowRefersToNothing(int current_file_id, int current_line,
                                    int64_t signal_id) const;
    bool queueRowRefersToNothing(int file_id, const std::string& instance_path) const;

    std::string db_path;
    sqlite3* db = nullptr;
    // Counts the starts afresh and moves to another file, whose contents no
    // count of changes on the connection tells apart.
    uint64_t content_epoch = 0;
    int current_working_hierarchy = 0;
    const std::string schema;
    std::vector<FailedWrites*> write_watchers;
};

// Counts the writes to the project database that fail while it lives (each
// one alive sees every failure): a run or compile whose rows did not land says
// so instead of answering success. Nothing is counted while writes succeed.
class FailedWrites {
public:
    explicit FailedWrites(Database& db);
    ~FailedWrites();
    FailedWrites(const FailedWrites&) = delete;
    FailedWrites& operator=(const FailedWrites&) = delete;

    uint64_t count() const { return count_; }
    // "N writes to the project database failed; the first: <reason>".
    std::string describe() const;

private:
    friend class Database;
    Database& db_;
    uint64_t count_ = 0;
    std::string first_;
};
