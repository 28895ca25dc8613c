// SPDX-License-Identifier: MIT
#pragma once

// Runs the real sheetfind-cli with arguments, standard input and a locale.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <string>

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline CliRun runCli(const QStringList& arguments, const std::string& input = {},
                     const char* locale = "C.UTF-8") {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LC_ALL");
    environment.remove("LC_NUMERIC");
    environment.insert("LANG", locale);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SHEETFIND_CLI), arguments);
    EXPECT_TRUE(process.waitForStarted()) << process.errorString().toStdString();
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60'000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}
