#include "controls/tintacolorcombobox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStylePainter>
#include <QStyledItemDelegate>

#include <array>

namespace {

struct NamedColor {
    const char* name;
    std::uint32_t rgb;  // red in the lowest byte
};

constexpr std::uint32_t Rgb(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}

constexpr std::array<NamedColor, 16> kColors{{
    {"Black", Rgb(0, 0, 0)},
    {"Maroon", Rgb(128, 0, 0)},
    {"Green", Rgb(0, 128, 0)},
    {"Olive", Rgb(128, 128, 0)},
    {"Navy", Rgb(0, 0, 128)},
    {"Purple", Rgb(128, 0, 128)},
    {"Teal", Rgb(0, 128, 128)},
    {"Gray", Rgb(128, 128, 128)},
    {"Silver", Rgb(192, 192, 192)},
    {"Red", Rgb(255, 0, 0)},
    {"Lime", Rgb(0, 255, 0)},
    {"Yellow", Rgb(255, 255, 0)},
    {"Blue", Rgb(0, 0, 255)},
    {"Fuchsia", Rgb(255, 0, 255)},
    {"Aqua", Rgb(0, 255, 255)},
    {"White", Rgb(255, 255, 255)},
}};

QColor ToQColor(std::uint32_t v) {
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// Swatch from 4 px right of the left edge and 1 px below the top to x = 24
// and 1 px above the bottom, framed in black; the name from 30 px.
void DrawEntry(QPainter& p, const QRect& r, QColor swatch, const QString& name, const QPalette& pal,
               bool selected) {
    if (selected) p.fillRect(r, pal.highlight());
    p.setPen(Qt::black);
    p.setBrush(swatch);
    p.drawRect(QRect(QPoint(r.left() + 4, r.top() + 1), QPoint(r.left() + 23, r.bottom() - 1)));
    p.setPen(selected ? pal.highlightedText().color() : pal.text().color());
    p.drawText(QRect(r.left() + 30, r.top(), r.width() - 30, r.height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
}

class SwatchDelegate : public QStyledItemDelegate {
public:
    explicit SwatchDelegate(TTintaColorComboBox* box) : QStyledItemDelegate(box), box_(box) {}
    void paint(QPainter* p, const QStyleOptionViewItem& opt,
               const QModelIndex& index) const override {
        p->save();
        const int i = index.row();
        const std::uint32_t c =
            i == TTintaColorComboBox::kMoreEntry ? box_->ColorValue() : box_->EntryColor(i);
        DrawEntry(*p, opt.rect, ToQColor(c), index.data().toString(), opt.palette,
                  opt.state & QStyle::State_Selected);
        p->restore();
    }

private:
    TTintaColorComboBox* box_;
};

}  // namespace

TTintaColorComboBox::TTintaColorComboBox(QWidget* parent) : QComboBox(parent) {
    for (const NamedColor& c : kColors) addItem(QString::fromLatin1(c.name));
    addItem(QStringLiteral("More..."));
    setItemDelegate(new SwatchDelegate(this));
    setCurrentIndex(0);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int index) { Pick(index); });
}

std::uint32_t TTintaColorComboBox::EntryColor(int index) const {
    if (index >= 0 && index < static_cast<int>(kColors.size()))
        return kColors[static_cast<std::size_t>(index)].rgb;
    return custom_;
}

void TTintaColorComboBox::SetColorValue(std::uint32_t color) {
    color &= 0xFFFFFF;
    color_ = color;
    for (int i = 0; i < static_cast<int>(kColors.size()); ++i) {
        if (kColors[static_cast<std::size_t>(i)].rgb == color) {
            setCurrentIndex(i);
            update();
            return;
        }
    }
    custom_ = color;
    setCurrentIndex(kMoreEntry);
    update();
}

QString TTintaColorComboBox::HTMLcolor() const {
    return QStringLiteral("#%1%2%3")
        .arg(color_ & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((color_ >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((color_ >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

void TTintaColorComboBox::Pick(int index) {
    if (index == kMoreEntry) {
        // Without an answer the colour stays, and so does the entry showing it.
        const std::optional<std::uint32_t> chosen =
            chooseColor ? chooseColor(color_) : std::nullopt;
        SetColorValue(chosen.value_or(color_));
    } else if (index >= 0 && index < kMoreEntry) {
        SetColorValue(kColors[static_cast<std::size_t>(index)].rgb);
    }
    emit Change();
}

void TTintaColorComboBox::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    p.drawComplexControl(QStyle::CC_ComboBox, opt);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    DrawEntry(p, field, ToQColor(color_), currentText(), palette(), false);
}
