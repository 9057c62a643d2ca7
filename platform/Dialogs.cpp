#include "platform/Dialogs.h"

#include <string_view>

namespace platform {

namespace {

// Filter number index of Qt's "Name (*.a *.b);;Name (*)", empty when there is none.
std::string_view NthFilter(std::string_view filters, int index) {
    if (index < 0) return {};
    for (int i = 0;; ++i) {
        const size_t end = filters.find(";;");
        if (i == index) return filters.substr(0, end);
        if (end == std::string_view::npos) return {};
        filters.remove_prefix(end + 2);
    }
}

} // namespace

std::string SaveExtension(const FileDialogRequest& request, int filterIndex) {
    std::string_view filter = NthFilter(request.Filter, filterIndex);
    // The patterns stand between the last brackets; a filter without them is all patterns.
    if (const size_t open = filter.rfind('('); open != std::string_view::npos) {
        filter.remove_prefix(open + 1);
        filter = filter.substr(0, filter.find(')'));
    }
    const size_t start = filter.find_first_not_of(' ');
    if (start == std::string_view::npos) return request.DefaultSuffix;
    filter.remove_prefix(start);
    const std::string_view pattern = filter.substr(0, filter.find(' '));
    if (pattern.substr(0, 2) != "*.") return request.DefaultSuffix;
    const std::string_view extension = pattern.substr(2);
    if (extension.empty() || extension.find_first_of("*?[.") != std::string_view::npos)
        return request.DefaultSuffix; // "*.*" names no extension
    return std::string(extension);
}

std::string CompletedSaveName(const FileDialogRequest& request, const SaveChoice& choice) {
    const std::string& name = choice.FileName;
    const size_t slash = name.rfind('/');
    const size_t lastPart = slash == std::string::npos ? 0 : slash + 1;
    if (lastPart == name.size() || name.find('.', lastPart) != std::string::npos) return name;
    const std::string extension = SaveExtension(request, choice.FilterIndex);
    return extension.empty() ? name : name + "." + extension;
}

} // namespace platform
