// The real program with a fixture file it cannot use: it says why on the error stream and
// stops with a failure status, rather than wait behind a box nobody sees or run a fixture
// nobody asked for.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

TEST(ProgramStart, AFixtureFileItCannotUseStopsItWithStatus2) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string misspelt = dir.filePath("misspelt.fixture").toStdString();
    std::ofstream(misspelt) << "output 3 gnd\noutptu 4 vcc\n";
    const std::string missing = dir.filePath("missing.fixture").toStdString();
    const struct {
        std::string file;
        std::string said;
    } cases[] = {
        {misspelt, "relmora: fixture line \"outptu 4 vcc\": not understood\n"},
        {missing, "relmora: cannot read the fixture file \"" + missing + "\": No such file or directory\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QProcess program;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("RELMORA_FIXTURE", QString::fromStdString(c.file));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(RELMORA_PROGRAM, {});
        const bool finished = program.waitForFinished(20000);
        if (!finished) program.kill();
        ASSERT_TRUE(finished) << "still running";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 2);
        const std::string errors = program.readAllStandardError().toStdString();
        EXPECT_NE(errors.find(c.said), std::string::npos) << errors;
    }
}
