#pragma once

#include <QWidget>

class Database;

// Shown until the main window exists: says which database was opened (or
// created) and nothing more.
class StartupWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StartupWindow(const Database &database, QWidget *parent = nullptr);
};
