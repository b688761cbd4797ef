// A drop-down list of the 16 standard colours and "More...", each drawn as a
// swatch with its name. ColorValue() holds red in the lowest byte.
#pragma once

#include <QColor>
#include <QComboBox>

#include <cstdint>
#include <functional>
#include <optional>

class TTintaColorComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int kMoreEntry = 16;

    explicit TTintaColorComboBox(QWidget* parent = nullptr);

    std::uint32_t ColorValue() const { return color_; }
    // Selects the standard entry with this colour, or makes it the custom
    // colour of "More..." and selects that. Emits nothing.
    void SetColorValue(std::uint32_t color);
    QString HTMLcolor() const;

    // Entry colour (red in the lowest byte); entry 16 is the custom colour.
    std::uint32_t EntryColor(int index) const;
    std::uint32_t CustomColor() const { return custom_; }

    // Asks for a colour when "More..." is picked; the window installs one that
    // goes through its prompt interface. No answer keeps the colour.
    std::function<std::optional<std::uint32_t>(std::uint32_t current)> chooseColor;

    // Picks an entry as the user does: sets the colour (asking for "More...")
    // and then emits Change.
    void Pick(int index);

signals:
    void Change();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t color_ = 0;
    std::uint32_t custom_ = 0xFFFFFF;
};
