#pragma once
// The count bar: a narrow docking bar (left or right edge only) with a
// gripper band and its own close button, holding the thirteen counter labels.
#include "CColorStaticST.h"

#include <QDockWidget>

#include <array>
#include <cstdint>
#include <functional>

// The top of counter label i: pairs 2 pixels apart, groups 6 apart.
int CounterLabelTop(int index);

class CCoolBar : public QDockWidget {
public:
    static constexpr int kGripperHeight = 12;
    static constexpr int kCloseSize = 13;
    static constexpr int kLabelHeight = 20;
    static constexpr int kDefaultWidth = 100;
    static constexpr int kDefaultHeight = 350;

    explicit CCoolBar(QWidget* parent);

    CColorStaticST* Label(int index) { return labels[static_cast<std::size_t>(index)]; }
    // Sets label i to string 264 + i formatted with counter i.
    void SetCounters(const uint32_t* counters);
    // Called when the close button is released over itself.
    std::function<void()> onClose;
    // Places the labels in the client area (also done on every resize).
    void LayoutLabels();
    // Whether the gripper band is shown (only while docked).
    bool HasGripper() const { return !isFloating(); }
    // The close button's rectangle in the title band's coordinates.
    QRect CloseButtonRect() const;

private:
    std::array<CColorStaticST*, 13> labels{};
    QWidget* panel = nullptr;
};
