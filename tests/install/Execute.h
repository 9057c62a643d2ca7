#pragma once
// A program run to its end, with what it said.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct Ran {
    int exitCode = -1; // -1: did not start or did not finish
    QString output;    // standard output and error together
};

inline Ran Execute(const QString& program, const QStringList& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    Ran ran;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ran.output = program + ": " + process.errorString();
        return ran;
    }
    ran.exitCode = process.exitCode();
    ran.output = QString::fromLocal8Bit(process.readAll());
    return ran;
}
