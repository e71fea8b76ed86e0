#pragma once
#include <QString>
#include <QStringList>

namespace obu::CommandLine {

// Command lines written the Windows way, as the registry and the extras hold
// them, split and built by the rules that Windows programs parse them with.
//
// The program (the first token) is taken whole up to the next double quote
// when it starts with one, otherwise up to the first blank or tab; no
// backslash or quote inside it means anything. Blanks before it are skipped.
//
// Every later token follows the argument rules of CommandLineToArgvW:
// - blanks and tabs outside quotes separate arguments;
// - a double quote opens or closes a quoted part, which may sit inside a word
//   (a"b c"d is the one argument "ab cd");
// - 2n backslashes before a quote give n backslashes, and the quote counts as
//   above; 2n+1 backslashes before a quote give n backslashes and a literal
//   quote; backslashes before anything else are kept as they are;
// - a run of quotes is counted, the one that opened a quoted part included:
//   every third gives a literal quote and leaves the quoted part. So inside
//   quotes "" gives one literal quote and ends the quoted part, and outside
//   """ gives one literal quote (the rule CommandLineToArgvW keeps for
//   compatibility with older programs).
QStringList split(const QString& commandLine);

// Only the argument rules, for text that holds no program (the parameters of
// openWithDefaultAction).
QStringList splitArguments(const QString& text);

// The token that splitArguments() gives back as exactly `argument`: the text
// as it is when it needs no quoting, else in quotes with backslashes doubled
// before a quote and at the end.
QString quoteArgument(const QString& argument);

// The program as a first token: in quotes when it is empty or has a blank or
// tab. Empty when the name cannot be written as a first token (it holds a
// double quote).
QString quoteProgram(const QString& program);

// Arguments quoted and joined by single blanks.
QString joinArguments(const QStringList& arguments);

}  // namespace obu::CommandLine
