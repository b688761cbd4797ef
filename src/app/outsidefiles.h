// Files handed to the program from outside: named on its command line or
// dropped on its window.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

struct TOutsideFiles {
    QString project;       // the first ".mor" file; empty when none
    QStringList pictures;  // the other files, at most two, in their order
};

// A project wins over pictures: with a ".mor" among the files only it is
// opened. Names are made absolute against the current folder.
TOutsideFiles SortOutsideFiles(const QStringList& files);

// The local files among dropped addresses.
QStringList LocalFiles(const QList<QUrl>& urls);
