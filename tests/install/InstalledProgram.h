#pragma once
// Running programs for the installation tests: a command with its output, and
// the installed program started offscreen and watched through its status log.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct CommandResult {
    bool started = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `program` to its end (at most `timeoutMs`).
CommandResult RunCommand(const QString& program, const QStringList& arguments, int timeoutMs = 120000,
                         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

// Whether a program is on the path.
bool HaveProgram(const QString& name);

// An environment with its own home and configuration folders, so that
// nothing a started program writes lands in the user's own.
QProcessEnvironment IsolatedEnvironment(const QString& home);
