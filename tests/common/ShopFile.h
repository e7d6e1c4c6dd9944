#pragma once

#include <QString>

// A SQLite shop file with `lines` sale lines, its log folded into the file
// and closed again: a file of many pages that a test can damage byte by
// byte. An empty text when made, else why not.
QString MakeShopFile(const QString &path, int lines);
