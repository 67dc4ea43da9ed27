#include "analysis.h"

#include "database.h"
#include "engine_log.h"
#include "error_handling.h"
#include "nesting_limits.h"
#include "property_text.h"
#include "source_files.h"

#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <exception>

namespace fs = std::filesystem;

const std::regex kPattern(".*\\(copy\\)\\.v$", std::regex::ECMAScript);

namespace {

// One spelling per file, so "top.v", "./top.v" and "/abs/top.v" compare equal.
std::string canonicalPath(const std::string& path) {
    return Database::projectPath(path);
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// An inserted line: "<label>: <text>", the label a simple or escaped
// identifier (which ends with a space).
bool isInsertedLine(const std::string& line) {
    size_t end = 0;
    if (line.starts_with("\\")) {
        end = line.find(' ');
        if (end == std::string::npos)
            return false;
        ++end;
    } else {
        while (end < line.size() && (std::isalnum(static_cast<unsigned char>(line[end])) ||
                                     line[end] == '_' || line[end] == '$'))
            ++end;
    }
    return end != 0 && line.compare(end, 2, ": ") == 0 &&
           !std::isdigit(static_cast<unsigned char>(line[0]));
}

// A copy an injection wrote and never removed (the process was killed): the
// source's lines in order, with inserted lines between them.
bool isStaleCopy(const std::string& copy, const std::vector<std::string>& source) {
    if (source_files::problemWith(copy))
        return false;
    std::ifstream in(copy, std::ios::binary);
    size_t next = 0;
    for (std::string line; std::getline(in, line);) {
        if (next < source.size() && line == source[next])
            ++next;
        else if (!isInsertedLine(line))
            return false;
    }
    return !in.bad() && next == source.size();
}

} // namespace

std::string copyPathFor(const std::string& source) {
    const fs::path path(source);
    return (path.parent_path() /
            (path.stem().string() + "(copy)" + path.extension().string()))
        .string();
}

void Query::print() const {
    std::ostream& out = engine_log::out();
    out << file << " " << line_no << "\n";
    for (size_t i = 0; i < property_list.size(); ++i) {
        const std::string label = i < label_list.size() ? label_list[i] : "";
        out << label << " " << property_list[i] << "\n";
    }
    out.flush();
}

// Every query on one source, applied together to the original text.
struct Analysis::FileInjection {
    std::string source;     // as the first query names it
    std::string canonical;
    std::string copy;
    std::string copyCanonical;
    std::vector<const Query*> queries;
    std::vector<std::string> lines;  // the source's lines, without their ends

    bool placesAt(int line_no) const {
        return line_no >= 1 && static_cast<size_t>(line_no) <= lines.size();
    }
};

Analysis::Analysis(std::vector<std::string> fList)
    : old_fileList(fList), fileList(std::move(fList)) {}

Analysis::~Analysis() { cleanup(); }

bool Analysis::inject(const std::vector<Query>& queryList) {
    failedFile.clear();
    failureReason.clear();
    try {
        return injectAll(queryList);
    } catch (const std::exception& e) {
        std::cerr << "[ANALYSIS] ERROR DURING INJECTION : " << e.what() << "\n";
        failureReason = e.what();
        return false;
    }
}

bool Analysis::refuse(const std::string& why) {
    std::cerr << "[ANALYSIS] injection refused: " << why << "\n";
    failureReason = why;
    return false;
}

bool Analysis::injectAll(const std::vector<Query>& queryList) {
    // Everything that can be refused is checked before the first copy exists.
    std::vector<FileInjection> groups = groupByFile(queryList);
    for (FileInjection& group : groups) {
        failedFile = group.source;
        if (!check(group) || !readSource(group) || !placesAll(group) || !copyPlaceIsFree(group))
            return false;
    }
    for (const FileInjection& group : groups) {
        failedFile = group.source;
        if (!writeCopy(group))
            return false;
    }
    for (const FileInjection& group : groups)
        recordProperties(group);

    for (const FileInjection& group : groups) {
        for (std::string& entry : fileList) {
            if (canonicalPath(entry) == group.canonical) {
                copySources[group.copy] = entry;
                entry = group.copy;
            }
        }
    }
    failedFile.clear();
    return true;
}

std::vector<Analysis::FileInjection> Analysis::groupByFile(const std::vector<Query>& queryList) {
    std::vector<FileInjection> groups;
    for (const Query& query : queryList) {
        const std::string canonical = canonicalPath(query.file);
        auto same = [&](const FileInjection& g) { return g.canonical == canonical; };
        auto it = std::find_if(groups.begin(), groups.end(), same);
        if (it == groups.end()) {
            FileInjection group;
            group.source = query.file;
            group.canonical = canonical;
            group.copy = copyPathFor(query.file);
            group.copyCanonical = canonicalPath(group.copy);
            groups.push_back(std::move(group));
            it = std::prev(groups.end());
        }
        it->queries.push_back(&query);
    }
    return groups;
}

bool Analysis::check(const FileInjection& group) {
    for (const Query* query : group.queries) {
        if (query->label_list.size() < query->property_list.size())
            return refuse(group.source + " line " + std::to_string(query->line_no) + ": " +
                          std::to_string(query->label_list.size()) + " labels for " +
                          std::to_string(query->property_list.size()) + " properties");
        for (size_t i = 0; i < query->property_list.size(); ++i)
            if (auto problem = propertyProblem(query->label_list[i], query->property_list[i]))
                return refuse("the property " + query->label_list[i] + " is refused: " + *problem);
    }
    if (compiledEntryFor(group.canonical).empty())
        return refuse(group.source + " is not one of the compiled sources");
    if (!compiledEntryFor(group.copyCanonical).empty())
        return refuse("the copy " + group.copy + " is one of the compiled sources");
    return true;
}

std::optional<std::string> Analysis::propertyProblem(const std::string& label,
                                                     const std::string& text) {
    // The design's macros expand in the text as they would in place.
    if (!syntaxTree) {
        slang::SourceManager manager;
        return assertionItemProblem(label, text, manager, {});
    }
    return assertionItemProblem(label, text, syntaxTree->sourceManager(),
                                syntaxTree->getDefinedMacros());
}

// A copy left on disk by an injection that never finished is replaced; any
// other file at the copy's place is the user's and stays.
bool Analysis::copyPlaceIsFree(const FileInjection& group) {
    if (createdCopies.contains(group.copyCanonical) || !pathExists(group.copy))
        return true;
    if (!isStaleCopy(group.copy, group.lines))
        return refuse(group.copy + " already exists and is not a copy an injection left; "
                                   "move it away to inject into " + group.source);
    std::cerr << "[ANALYSIS] replacing " << group.copy << ", left by an injection that never "
                                                          "finished\n";
    createdCopies.insert(group.copyCanonical);
    return true;
}

// A property asked for at a line the file does not have would be left out of
// a run that still answered success.
bool Analysis::placesAll(const FileInjection& group) {
    for (const Query* query : group.queries)
        if (!group.placesAt(query->line_no))
            return refuse(group.source + " has no line " + std::to_string(query->line_no) +
                          " (it has " + std::to_string(group.lines.size()) + ")");
    return true;
}

bool Analysis::readSource(FileInjection& group) {
    if (auto problem = source_files::problemWith(group.source))
        return refuse("cannot read " + group.source + ": " + *problem);
    std::ifstream in(group.source, std::ios::binary);
    if (!in.is_open())
        return refuse("cannot read " + group.source + ": " + std::strerror(errno));
    std::string line;
    while (std::getline(in, line))
        group.lines.push_back(line);
    if (in.bad())
        return refuse("cannot read " + group.source);
    return true;
}

bool Analysis::writeCopy(const FileInjection& group) {
    std::string text;
    for (size_t n = 1; n <= group.lines.size(); ++n) {
        for (const Query* query : group.queries) {
            if (query->line_no != static_cast<int>(n))
                continue;
            for (size_t i = 0; i < query->property_list.size(); ++i)
                text += query->label_list[i] + ": " + query->property_list[i] + "\n";
        }
        text += group.lines[n - 1] + "\n";
    }

    // "x" creates the file or fails: a file that is not ours is never truncated.
    const bool ours = createdCopies.contains(group.copyCanonical);
    std::FILE* out = std::fopen(group.copy.c_str(), ours ? "wb" : "wbx");
    if (!out)
        return refuse("cannot write the copy " + group.copy + ": " + std::strerror(errno));
    createdCopies.insert(group.copyCanonical);
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written)
        return refuse("cannot write the copy " + group.copy + " (is the disk full?)");
    return true;
}

void Analysis::recordProperties(const FileInjection& group) {
    for (const Query* query : group.queries) {
        for (size_t i = 0; i < query->property_list.size(); ++i) {
            const std::string& label = query->label_list[i];
            Database::instance().insertProperty(label, label, query->module_name);
            std::cerr << query->property_list[i] << " " << label << "\n";
        }
    }
}

std::string Analysis::compiledEntryFor(const std::string& canonical) const {
    for (const std::string& entry : old_fileList)
        if (canonicalPath(entry) == canonical)
            return entry;
    return "";
}

std::string Analysis::getErrorJSON() {
    return CompilationResult::instance().get_compile_diagnostics(fileList);
}

int Analysis::getStatus() { return CompilationResult::instance().get_status_code(); }

std::optional<std::shared_ptr<slang::syntax::SyntaxTree>> Analysis::parse() {
    using slang::syntax::SyntaxTree;
    // Members go in reverse order: the tree before the manager it points into.
    struct TreeWithManager {
        std::shared_ptr<slang::SourceManager> manager;
        std::shared_ptr<SyntaxTree> tree;
    };
    try {
        auto manager = std::make_shared<slang::SourceManager>();
        logFileList();

        std::vector<std::string_view> paths(fileList.begin(), fileList.end());
        auto loaded = SyntaxTree::fromFiles(paths, *manager, nesting::parseOptions());
        if (!loaded) {
            std::cerr << "[ANALYSIS] ERROR IN PARSING" << "cannot load "
                      << loaded.error().second << ": " << loaded.error().first.message() << "\n";
            return std::nullopt;
        }
        auto both = std::make_shared<TreeWithManager>(TreeWithManager{manager, *loaded});
        sourceMgr = manager;
        syntaxTree = std::shared_ptr<SyntaxTree>(both, both->tree.get());
        return syntaxTree;
    } catch (const std::exception& e) {
        std::cerr << "[ANALYSIS] ERROR IN PARSING" << e.what() << "\n";
        return std::nullopt;
    }
}

std::shared_ptr<slang::syntax::SyntaxTree> Analysis::adopt(
    std::shared_ptr<slang::syntax::SyntaxTree> tree) {
    logFileList();
    sourceMgr = std::shared_ptr<slang::SourceManager>(tree, &tree->sourceManager());
    syntaxTree = std::move(tree);
    return syntaxTree;
}

void Analysis::logFileList() const {
    std::cerr << "[ANALYSIS] printing File names...\n";
    for (const std::string& path : fileList)
        engine_log::out() << path << "\n";
    engine_log::out().flush();
}

void Analysis::cleanup() noexcept {
    try {
        for (auto it = createdCopies.begin(); it != createdCopies.end();) {
            std::error_code ec;
            const bool removed = fs::remove(*it, ec);
            if (ec) {
                // Still ours: a later injection may overwrite it, a later cleanup retry it.
                std::cerr << "failed to delete: " << *it << " (" << ec.message() << ")\n";
                ++it;
                continue;
            }
            if (removed)
                engine_log::out() << "deleted: " << *it << std::endl;
            it = createdCopies.erase(it);
        }
    } catch (...) {
        // Only the log streams can throw here; the copies left stay listed.
    }
}

void Analysis::clearFileList() {
    fileList = old_fileList;
    copySources.clear();
}
