#include "InstalledRun.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Str(const QString& s) {
    return s.toStdString();
}

} // namespace

void ExpectBenchSession(const QString& program, const QString& programDir, const QString& workDir) {
    // The drive of the program: the data folders are made below it at closing.
    const QString dataRoot = workDir + "/data";
    ASSERT_TRUE(QDir().mkpath(dataRoot));

    QProcess run;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("CALBRIX_BENCH", "default");
    env.insert("CALBRIX_DATA_ROOT", dataRoot);
    env.insert("QT_PLUGIN_PATH", PROBE_PLUGIN_PATH);
    env.insert("QT_QPA_GENERIC_PLUGINS", "calbrixprobe");
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(workDir);
    run.start(program, {});
    ASSERT_TRUE(run.waitForStarted(10000)) << Str(run.errorString());
    const bool finished = run.waitForFinished(240000);
    if (!finished) run.kill();
    const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
    const QStringList lines =
        QString::fromLocal8Bit(run.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_TRUE(finished) << "still running; it said:\n" << Str(lines.join('\n'));
    for (const QString& line : lines) EXPECT_FALSE(line.startsWith("probe:")) << Str(line);
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << Str(errors);

    QStringList tests;
    for (const QString& line : lines)
        if (line.startsWith("test ")) tests << line.mid(5);
    ASSERT_FALSE(tests.isEmpty()) << Str(lines.join('\n'));
    EXPECT_EQ(Str(tests.takeFirst()), "Calbrix box self-test");
    QStringList expected;
    for (const QString& name : QDir(programDir + "/Tests").entryList(QDir::Files, QDir::Name))
        expected << name.left(name.lastIndexOf('.'));
    tests.sort();
    expected.sort();
    EXPECT_EQ(tests, expected);

    EXPECT_TRUE(lines.contains("status Connected")) << Str(lines.join('\n'));
    EXPECT_TRUE(lines.contains("help " + programDir + "/Help/index.html")) << Str(lines.join('\n'));
    EXPECT_TRUE(lines.contains("help-title Contents")) << Str(lines.join('\n'));
}
