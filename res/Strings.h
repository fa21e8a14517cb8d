#pragma once
// The string table: the program's texts by identifier, and the two halves of
// a command's text (status-bar prompt before "\n", tool tip after it).

#include <QString>

// The text of string `nID`; empty when the table has none.
QString AfxLoadString(unsigned nID);

// The status-bar prompt of command `nID` (empty when it has none).
QString CommandPrompt(unsigned nID);

// The tool tip of command `nID` (empty when it has none).
QString CommandTip(unsigned nID);

// Replaces "%1" (and "%2") in `format` as the framework's message formatting
// does.
QString AfxFormatString(unsigned nID, const QString& arg1, const QString& arg2 = QString());
