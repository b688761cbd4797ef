#include "app/aboutbox.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/artwork.h"
#include "app/mainform.h"

QString WithYear(QString text, int year) {
    return text.replace(QStringLiteral("XXXX"),
                        QString::number(year).rightJustified(4, QLatin1Char('0')));
}

TAboutBox::TAboutBox(QWidget* parent, std::function<void()> openWebPage) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(664, 453);
    auto* h = new QHBoxLayout(this);
    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("ProductImage"));
    picture->setPixmap(artwork::ProductPicture());
    h->addWidget(picture);
    auto* v = new QVBoxLayout;
    auto* title = new QLabel(QStringLiteral("<h2>Vellora 1.0</h2>"));
    v->addWidget(title);
    auto* about =
        new QLabel(QStringLiteral("<p>Picture morphing: load a start and an end picture, mark "
                                  "corresponding areas (an eye and "
                                  "the same eye), and watch one picture turn into the other.</p>"
                                  "<p>Save the in-between pictures as pictures or the whole "
                                  "sequence as an AVI video, and keep "
                                  "your work in a project file (.mor).</p>"));
    about->setWordWrap(true);
    v->addWidget(about);
    copyright_ = new QLabel(WithYear(QStringLiteral("Copyright (c) XXXX The Vellora developers"),
                                     QDate::currentDate().year()));
    copyright_->setObjectName(QStringLiteral("CopyrightLabel"));
    v->addWidget(copyright_);
    v->addStretch(1);
    auto* buttons = new QHBoxLayout;
    auto* web = new QPushButton(QString::fromLatin1(kWebAddressCaption));
    web->setObjectName(QStringLiteral("AboutWwwBtn"));
    connect(web, &QPushButton::clicked, this, [openWebPage] {
        if (openWebPage) openWebPage();
    });
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(web);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    v->addLayout(buttons);
    h->addLayout(v, 1);
}
