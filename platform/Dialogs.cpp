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

// The extension the first pattern of filter number index names ("*.RTF" gives "RTF"), empty
// when it names none.
std::string FilterExtension(std::string_view filters, int index) {
    std::string_view filter = NthFilter(filters, index);
    // The patterns stand between the last brackets; a filter without them is all patterns.
    if (const size_t open = filter.rfind('('); open != std::string_view::npos) {
        filter.remove_prefix(open + 1);
        filter = filter.substr(0, filter.find(')'));
    }
    const size_t start = filter.find_first_not_of(' ');
    if (start == std::string_view::npos) return {};
    filter.remove_prefix(start);
    const std::string_view pattern = filter.substr(0, filter.find(' '));
    if (pattern.substr(0, 2) != "*.") return {};
    const std::string_view extension = pattern.substr(2);
    if (extension.find_first_of("*?[.") != std::string_view::npos) return {}; // "*.*"
    return std::string(extension);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// "name.RTF" ends in ".rtf", in any case.
bool EndsWithExtension(std::string_view name, std::string_view extension) {
    if (extension.empty() || name.size() <= extension.size()) return false;
    if (name[name.size() - extension.size() - 1] != '.') return false;
    const std::string_view end = name.substr(name.size() - extension.size());
    for (size_t i = 0; i < end.size(); ++i)
        if (Lower(end[i]) != Lower(extension[i])) return false;
    return true;
}

// Whether the name ends in an extension that one of the request's filters names.
bool HasFiltersExtension(const FileDialogRequest& request, std::string_view name) {
    for (int i = 0; !NthFilter(request.Filter, i).empty(); ++i)
        if (EndsWithExtension(name, FilterExtension(request.Filter, i))) return true;
    return false;
}

} // namespace

std::string SaveExtension(const FileDialogRequest& request, int filterIndex) {
    std::string extension = FilterExtension(request.Filter, filterIndex);
    return extension.empty() ? request.DefaultSuffix : extension;
}

std::string CompletedSaveName(const FileDialogRequest& request, const SaveChoice& choice) {
    const std::string& name = choice.FileName;
    const size_t slash = name.rfind('/');
    const size_t lastPart = slash == std::string::npos ? 0 : slash + 1;
    // No name to complete, or a name ending in a dot, which asks for no extension.
    if (lastPart == name.size() || name.back() == '.') return name;
    if (const std::string own = FilterExtension(request.Filter, choice.FilterIndex); !own.empty()) {
        // A filter of its own type: a dot inside the name (a time such as "14.05.09") is no
        // extension; only one that a filter names is.
        return HasFiltersExtension(request, name) ? name : name + "." + own;
    }
    // Any file: the name as typed when its last part has a dot, else the default extension.
    if (name.find('.', lastPart) != std::string::npos || request.DefaultSuffix.empty()) return name;
    return name + "." + request.DefaultSuffix;
}

} // namespace platform
