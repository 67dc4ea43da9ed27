#include "analysis.h"

#include "database.h"
#include "error_handling.h"
#include "nesting_limits.h"

#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <algorithm>
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

void refuse(const std::string& why) { std::cerr << "[ANALYSIS] injection refused: " << why << "\n"; }

} // namespace

std::string copyPathFor(const std::string& source) {
    const fs::path path(source);
    return (path.parent_path() /
            (path.stem().string() + "(copy)" + path.extension().string()))
        .string();
}

void Query::print() const {
    std::cout << file << " " << line_no << "\n";
    for (size_t i = 0; i < property_list.size(); ++i) {
        const std::string label = i < label_list.size() ? label_list[i] : "";
        std::cout << label << " " << property_list[i] << "\n";
    }
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
    try {
        return injectAll(queryList);
    } catch (const std::exception& e) {
        std::cerr << "[ANALYSIS] ERROR DURING INJECTION : " << e.what() << "\n";
        return false;
    }
}

bool Analysis::injectAll(const std::vector<Query>& queryList) {
    // Everything that can be refused is checked before the first copy exists.
    std::vector<FileInjection> groups = groupByFile(queryList);
    for (FileInjection& group : groups) {
        failedFile = group.source;
        if (!check(group) || !readSource(group) || !placesAll(group))
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

bool Analysis::check(const FileInjection& group) const {
    for (const Query* query : group.queries) {
        if (query->label_list.size() < query->property_list.size()) {
            refuse(group.source + " line " + std::to_string(query->line_no) + ": " +
                   std::to_string(query->label_list.size()) + " labels for " +
                   std::to_string(query->property_list.size()) + " properties");
            return false;
        }
    }
    if (compiledEntryFor(group.canonical).empty()) {
        refuse(group.source + " is not one of the compiled sources");
        return false;
    }
    if (!compiledEntryFor(group.copyCanonical).empty()) {
        refuse("the copy " + group.copy + " is one of the compiled sources");
        return false;
    }
    if (!createdCopies.contains(group.copyCanonical) && pathExists(group.copy)) {
        refuse(group.copy + " already exists and was not written by an injection");
        return false;
    }
    return true;
}

// A property asked for at a line the file does not have would be left out of
// a run that still answered success.
bool Analysis::placesAll(const FileInjection& group) const {
    for (const Query* query : group.queries) {
        if (!group.placesAt(query->line_no)) {
            refuse(group.source + " has no line " + std::to_string(query->line_no) + " (it has " +
                   std::to_string(group.lines.size()) + ")");
            return false;
        }
    }
    return true;
}

bool Analysis::readSource(FileInjection& group) {
    std::ifstream in(group.source, std::ios::binary);
    if (!in.is_open()) {
        std::cerr << "Error: " << group.source << " (" << std::strerror(errno) << ")\n";
        return false;
    }
    std::string line;
    while (std::getline(in, line))
        group.lines.push_back(line);
    if (in.bad()) {
        std::cerr << "Error opening input file " << group.source << "\n";
        return false;
    }
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
    if (!out) {
        std::cerr << "Error opening temp file " << group.copy << " (" << std::strerror(errno)
                  << ")\n";
        return false;
    }
    createdCopies.insert(group.copyCanonical);
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        std::cerr << "Error writing temp file " << group.copy << "\n";
        return false;
    }
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
        std::cout << path << "\n";
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
                std::cout << "deleted: " << *it << "\n";
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
