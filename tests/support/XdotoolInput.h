// Input through the X server, as a person gives it, for the framed window tests.
#pragma once

#include <QProcess>
#include <QStringList>

// Runs xdotool with these arguments; its exit code, or -1 when it could not start or had not
// ended within ten seconds (then it is killed, so that a test fails instead of hanging).
inline int Xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished(1000);
        return -1;
    }
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}
