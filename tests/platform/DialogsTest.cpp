// The name a save dialog gives back: a name that does not end in the extension of one of the
// filters gets the extension of the filter chosen; with a filter that names none, a name
// without a dot gets the default one.

#include <gtest/gtest.h>

#include "platform/Dialogs.h"

using platform::CompletedSaveName;
using platform::FileDialogRequest;
using platform::SaveChoice;

TEST(SaveDialogName, TypedNameGetsTheExtensionOfTheChosenFilter) {
    const FileDialogRequest report{"", "/data/", "",
                                   "Fichier RTF (*.RTF *.rtf);;Fichier texte (*.TXT *.txt);;"
                                   "Tous les fichiers (*)",
                                   "TXT"};
    const struct {
        const char* typed;
        int filter;
        const char* saved;
    } cases[] = {
        {"/data/report", 0, "/data/report.RTF"},
        {"/data/report", 1, "/data/report.TXT"},
        {"/data/report", 2, "/data/report.TXT"}, // all files: the default extension
        {"/data/report", 7, "/data/report.TXT"}, // no such filter
        {"/data/report.rtf", 1, "/data/report.rtf"},
        {"/data/report.txt", 0, "/data/report.txt"},
        {"/data/report.RTF", 1, "/data/report.RTF"},
        {"/data/report.Txt", 0, "/data/report.Txt"},
        {"/data/report.", 0, "/data/report."},                     // the dot says: no extension
        {"/data/my.reports/june", 0, "/data/my.reports/june.RTF"}, // a folder's dot is none
        // The proposed name with ".rtf" taken off: the time's dots are no extension.
        {"/data/2020-06-15 - 14.05.09 - Cable", 0, "/data/2020-06-15 - 14.05.09 - Cable.RTF"},
        {"/data/2020-06-15 - 14.05.09 - Cable", 1, "/data/2020-06-15 - 14.05.09 - Cable.TXT"},
        {"/data/report.doc", 0, "/data/report.doc.RTF"},
        {"/data/report.rtf.old", 1, "/data/report.rtf.old.TXT"},
        {"/data/.hidden", 1, "/data/.hidden.TXT"},
        // All files: a name with a dot is taken as typed, whatever its extension.
        {"/data/2020-06-15 - 14.05.09 - Cable", 2, "/data/2020-06-15 - 14.05.09 - Cable"},
        {"/data/report.doc", 2, "/data/report.doc"},
        {"/data/", 0, "/data/"}, // no name to complete
        {"report", 1, "report.TXT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompletedSaveName(report, SaveChoice{c.typed, c.filter}), c.saved)
            << c.typed << " with filter " << c.filter;
}

TEST(SaveDialogName, FiltersThatNameNoSingleExtensionUseTheDefault) {
    const struct {
        const char* filter;
        const char* defaultSuffix;
        const char* saved;
    } cases[] = {
        {"Everything (*.*)", "TXT", "x.TXT"},
        {"Everything (*)", "", "x"},
        {"Pictures (*.jp?)", "png", "x.png"},
        {"Comma separated (*.csv *.CSV)", "TXT", "x.csv"},
        {"*.log", "TXT", "x.log"}, // a filter that is its patterns alone
        {"Text ( *.txt)", "", "x.txt"},
        {"", "TXT", "x.TXT"},
    };
    for (const auto& c : cases) {
        const FileDialogRequest request{"", "", "", c.filter, c.defaultSuffix};
        EXPECT_EQ(CompletedSaveName(request, SaveChoice{"x", 0}), c.saved) << c.filter;
    }
}
