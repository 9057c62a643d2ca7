// Scenario steps about the report's documents: lines written into the report, a saved report
// read back, and the pages of a printed PDF.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "interface/Main.h"
#include "interface/MainFields.h"
#include "tests/scenario/Harness.h"

namespace scenario {

namespace {

uint32_t Number(const std::string& word) {
    try {
        size_t used = 0;
        const unsigned long value = std::stoul(word, &used, 0);
        if (used == word.size() && value <= 0xFFFFFFFFul) return static_cast<uint32_t>(value);
    } catch (const std::logic_error&) {
    }
    throw ScenarioError("not a number: " + word);
}

QByteArray ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) throw ScenarioError("cannot read " + path);
    return file.readAll();
}

} // namespace

std::string Harness::SavedPath(const std::string& name) const {
    if (!name.empty() && name[0] == '/') return name;
    if (!dataRoot_) throw ScenarioError("a saved file's name comes after start");
    const std::string path = dataRoot_->path().toStdString() + "/" + name;
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
    return path;
}

bool Harness::DocumentStep(const std::vector<std::string>& w) {
    const std::string& step = w[0];
    auto arg = [&](size_t i) -> const std::string& {
        if (i >= w.size()) throw ScenarioError("missing value");
        return w[i];
    };
    if (step == "report-line") {
        // report-line COLOUR STYLE TEXT: a line written as a test part writes it
        if (!window_) throw ScenarioError("the window is not started");
        window_->AddReportLine(w.size() > 3 ? w[3] : std::string(), Number(arg(1)), Number(arg(2)));
    } else if (step == "file") {
        // file PATH: every line of a saved file, as its bytes stand
        const QByteArray bytes = ReadAll(SavedPath(arg(1)));
        QList<QByteArray> lines = bytes.split('\n');
        if (!bytes.isEmpty() && bytes.endsWith('\n')) lines.removeLast();
        Log("file " + QuoteText(Shown(SavedPath(arg(1)))) + " " + std::to_string(lines.size()) +
            " lines");
        for (const QByteArray& line : lines) Log("line " + QuoteText(line.toStdString()));
    } else if (step == "pdf") {
        // pdf PATH: the page count and the first page's size of a printed PDF
        const QByteArray pdf = ReadAll(SavedPath(arg(1)));
        static const QRegularExpression page("/Type\\s*/Page(?![a-zA-Z])");
        static const QRegularExpression media("/MediaBox\\s*\\[([^\\]]*)\\]");
        int count = 0;
        for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next()) ++count;
        const auto box = media.match(QString::fromLatin1(pdf));
        Log("pdf " + QuoteText(Shown(SavedPath(arg(1)))) + " pages=" + std::to_string(count) + " media=[" +
            (box.hasMatch() ? box.captured(1).simplified().toStdString() : std::string()) + "]");
    } else {
        return false;
    }
    return true;
}

} // namespace scenario
