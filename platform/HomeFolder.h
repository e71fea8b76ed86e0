#pragma once
#include <QByteArray>
#include <QString>

namespace obu {

// The user's home folder: $HOME when it is an absolute path, else the folder
// that the password database gives for the user, else empty (no home at all:
// a user that exists only as a number, or a broken database).
QString homeFolder();
// The same choice between given values of the two (nullptr: no entry).
QString chooseHomeFolder(const QByteArray& homeVariable, const char* passwordDatabaseFolder);

// For the start of a program, before anything reads a path: when $HOME is
// unset or not absolute, it is set to the password database's folder, so that
// every part of the program, Qt and the programs it starts agree on one home
// folder (without this they would each make files under "/"). Returns what to
// say when neither gives one, else an empty text.
QString settleHomeFolder();

}  // namespace obu
