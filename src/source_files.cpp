#include "source_files.h"

namespace fs = std::filesystem;

namespace source_files {

std::optional<std::string> problemWith(const fs::path& path) {
    std::error_code ec;
    // The target of a link is what would be read.
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return std::string("no such file or directory");
    if (ec)
        return ec.message();
    if (status.type() == fs::file_type::directory)
        return std::string("is a folder, not a file");
    if (status.type() != fs::file_type::regular)
        return std::string("is not a regular file (a device, FIFO or socket)");
    const uintmax_t size = fs::file_size(path, ec);
    if (ec)
        return ec.message();
    if (size > kMaxSourceBytes)
        return "is " + std::to_string(size) + " bytes; a source may have at most " +
               std::to_string(kMaxSourceBytes);
    return std::nullopt;
}

std::optional<std::string> includeProblem(const std::string& name, const fs::path& including) {
    if (name.empty())
        return std::nullopt;
    fs::path path(name);
    // A text's including path is empty: the name is then taken from the
    // working folder, as the preprocessor takes it.
    if (path.is_relative())
        path = including.parent_path() / path;
    if (!anythingAt(path))
        return std::nullopt;
    if (auto problem = problemWith(path))
        return path.string() + ": " + *problem;
    return std::nullopt;
}

bool anythingAt(const fs::path& path) {
    std::error_code ec;
    return fs::status(path, ec).type() != fs::file_type::not_found;
}

} // namespace source_files
