// Test-data and output folders, and the pictures of a failed comparison:
// what tests of every layer share. Needs no widgets.
#pragma once

#include <QImage>
#include <QString>

namespace testing_support {

inline QString DataPath(const QString& name) {
    return QStringLiteral(VELLORA_TEST_DATA "/") + name;
}

// A fresh folder under the build tree for files a test writes.
QString OutDir(const QString& testName);

// Writes actual (and expected, when given) next to each other for a failed
// pixel comparison and returns where.
QString SaveFailure(const QString& name, const QImage& actual, const QImage& expected = {});

}  // namespace testing_support
