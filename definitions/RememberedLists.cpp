#include "definitions/RememberedLists.h"

#include <QString>

namespace definitions {

std::string ListEntryText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .trimmed()
        .toStdString();
}

} // namespace definitions
