#include "app/aboutbox.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/artwork.h"
#include "app/mainform.h"
#include "controls/aspectpicture.h"

QString WithYear(QString text, int year) {
    return text.replace(QStringLiteral("XXXX"),
                        QString::number(year).rightJustified(4, QLatin1Char('0')));
}

TAboutBox::TAboutBox(QWidget* parent, std::function<void()> openWebPage) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(664, 453);
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 12, 12, 12);
    h->setSpacing(16);
    auto* picture = new TAspectPicture(artwork::ProductPicture());
    picture->setObjectName(QStringLiteral("ProductImage"));
    picture->setFixedWidth(200);
    h->addWidget(picture);

    auto* v = new QVBoxLayout;
    v->setSpacing(8);
    auto* title = new QLabel(QStringLiteral("<h2 style='margin:0'>Vellora 1.0</h2>"));
    title->setObjectName(QStringLiteral("ProductName"));
    v->addWidget(title);
    auto* version = new QLabel(QStringLiteral("Version %1, picture morphing for the desktop")
                                   .arg(QStringLiteral(VELLORA_VERSION)));
    version->setObjectName(QStringLiteral("VersionLabel"));
    v->addWidget(version);
    auto* about = new QLabel(
        QStringLiteral("<p>Vellora turns one picture into another. Load a start and an end "
                       "picture, mark pairs of corresponding areas (an eye and the same eye, a "
                       "mouth and the same mouth), and Vellora computes the in-between pictures: "
                       "every marked area travels and changes its size from its place in the "
                       "first picture to its place in the second.</p>"
                       "<p>Show any in-between picture, play the sequence in real time, save a "
                       "picture (BMP, PNG, JPEG, TIFF) or the whole sequence as a video, and keep "
                       "your work in a project file (.mor). <i>vellora-render</i> does the same "
                       "from the command line.</p>"));
    about->setObjectName(QStringLiteral("AboutText"));
    about->setWordWrap(true);
    v->addWidget(about);
    auto* licence = new QLabel(QStringLiteral(
        "<p><b>Licence</b><br>Vellora is free software under the MIT licence: you may use, copy, "
        "change, merge, publish and pass it on, free of charge, provided the copyright notice "
        "and this permission notice are kept. It comes without any warranty.</p>"));
    licence->setObjectName(QStringLiteral("LicenceText"));
    licence->setWordWrap(true);
    v->addWidget(licence);
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
    ok->setMinimumWidth(90);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(web);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    v->addLayout(buttons);
    h->addLayout(v, 1);
}
