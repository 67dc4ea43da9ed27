// Assertion injection: labelled SVA properties are written into "(copy)" files
// beside the compiled sources, the copies take their sources' places in the
// file list for a re-check and a re-parse, and are removed afterwards.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace slang {
class SourceManager;
namespace syntax {
class SyntaxTree;
}
} // namespace slang

// One injection request: properties inserted before `line_no` (1-based) of `file`.
struct Query {
    std::string file;
    int line_no = 0;
    std::string module_name;  // stored as the instance id of each property row
    std::vector<std::string> property_list;
    std::vector<std::string> label_list;  // entry i labels property i

    void print() const;
};

// Names of the form "<stem>(copy).v". Only a name: cleanup goes by what inject
// wrote, so a user's own file named like a copy is never removed.
extern const std::regex kPattern;

// The copy written for a source path: same folder, "(copy)" after the stem.
std::string copyPathFor(const std::string& source);

class Analysis {
public:
    explicit Analysis(std::vector<std::string> fList);
    // Removes any copy still on disk.
    ~Analysis();
    Analysis(const Analysis&) = delete;
    Analysis& operator=(const Analysis&) = delete;

    // Writes one copy per named source and swaps it into the file list. All or
    // nothing up to disk failures: a refused query writes no copy at all, and
    // the file list changes only when every copy was written.
    bool inject(const std::vector<Query>& queryList);

    std::string getErrorJSON();
    int getStatus();

    // One tree of the whole current file list. The tree keeps its own source
    // manager alive, so it stays valid after a later parse or this object's end.
    std::optional<std::shared_ptr<slang::syntax::SyntaxTree>> parse();
    // Takes the tree of the current file list that was parsed already, as if
    // parse() had made it.
    std::shared_ptr<slang::syntax::SyntaxTree> adopt(std::shared_ptr<slang::syntax::SyntaxTree> tree);

    // Removes exactly the copies that inject wrote. Safe to call any number of
    // times and from a destructor or scope guard; never throws.
    void cleanup() noexcept;
    void clearFileList();

    const std::vector<std::string>& getFileList() const { return fileList; }
    // Copy path (as it stands in the file list) -> the compiled path it replaces.
    const std::map<std::string, std::string>& getCopySources() const { return copySources; }
    // The file of the query that made the last inject fail; "" after a success.
    const std::string& getFailedFile() const { return failedFile; }
    // Why the last inject failed, naming what it refused; "" after a success.
    const std::string& getFailureReason() const { return failureReason; }

private:
    struct FileInjection;

    bool injectAll(const std::vector<Query>& queryList);
    void logFileList() const;
    static std::vector<FileInjection> groupByFile(const std::vector<Query>& queryList);
    bool check(const FileInjection& group);
    std::optional<std::string> propertyProblem(const std::string& label, const std::string& text);
    bool copyPlaceIsFree(const FileInjection& group);
    // Logs and keeps the reason; answers false.
    bool refuse(const std::string& why);
    bool readSource(FileInjection& group);
    bool placesAll(const FileInjection& group);
    bool writeCopy(const FileInjection& group);
    void recordProperties(const FileInjection& group);
    std::string compiledEntryFor(const std::string& canonicalPath) const;

    std::shared_ptr<slang::SourceManager> sourceMgr;
    std::shared_ptr<slang::syntax::SyntaxTree> syntaxTree;
    std::vector<std::string> old_fileList;
    std::vector<std::string> fileList;
    std::set<std::string> createdCopies;  // canonical paths of the copies on disk
    std::map<std::string, std::string> copySources;
    std::string failedFile;
    std::string failureReason;
};
