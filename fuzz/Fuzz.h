// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A small coverage-guided fuzzer that GCC can build: the code under test is compiled with
// -fsanitize-coverage=trace-pc, and the driver keeps every input that reaches new code.
namespace lexwick::fuzz {

struct Target {
    const char* name;
    // Runs one input; a broken property calls require(), a memory fault the sanitizers.
    void (*run)(const QByteArray& input);
    // Where the search starts, besides the stored corpus.
    QList<QByteArray> seeds;
};

// The target of this executable; each target file defines it.
extern const Target target;

// Reports the input that broke the property and aborts, so that the input is kept.
void require(bool holds, const char* property);

// Any text, lone surrogates included: the first byte chooses UTF-8 or raw UTF-16.
QString textOf(const QByteArray& input);

} // namespace lexwick::fuzz
