#pragma once

#include "Pelorins/print/KDPaper.h"

#include <QList>
#include <QPageLayout>
#include <QWidget>
#include <optional>

class OrientationBox;
class PrintInfo;
class PrintSetupDelegate;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

// The right side of the print window: printer, paper and orientation, which go into the shared
// print settings, the size of cards on paper as a scale or as columns per page, the preview's
// zoom, and the Done and Print buttons. A change of paper or orientation posts PrintInfoChanged.
class PrintSetupViewController : public QWidget
{
    Q_OBJECT

public:
    // One column's width on paper at scale 1; n columns across the width W give floor(W / n) / 308.
    static constexpr double columnUnit = 308;
    static constexpr double initialItemScale = 0.6;
    static constexpr double minimumItemScale = 0.25;
    static constexpr double maximumItemScale = 2;
    // The sliders hold whole numbers: the scale in hundredths, the zoom in tenths.
    static constexpr int itemSizeSteps = 100;
    static constexpr int zoomSteps = 10;

    explicit PrintSetupViewController(PrintInfo& printInfo, QWidget* parent = nullptr);

    PrintSetupDelegate* delegate() const { return m_delegate; }
    // The first delegate gets the scale that fits whole columns nearest to 0.6.
    void setDelegate(PrintSetupDelegate* delegate);
    // Print is offered only while there is a page to print.
    void setPrintingPossible(bool possible);

    QComboBox* printerPopupButton() const { return m_printerPopupButton; }
    QComboBox* pagePopupButton() const { return m_pagePopupButton; }
    OrientationBox* orientationBoxPortrait() const { return m_orientationBoxPortrait; }
    OrientationBox* orientationBoxLandscape() const { return m_orientationBoxLandscape; }
    QSlider* itemSizeSlider() const { return m_itemSizeSlider; }
    QLineEdit* itemSizeValueField() const { return m_itemSizeValueField; }
    QSlider* columnsSlider() const { return m_columnsSlider; }
    QSlider* zoomSlider() const { return m_zoomSlider; }
    QPushButton* doneButton() const { return m_doneButton; }
    QPushButton* printButton() const { return m_printButton; }
    const QList<QLabel*>& columnSliderLabels() const { return m_columnSliderLabels; }

    // Actions.
    void printerNameChanged(int index);
    void paperNameChanged(int index);
    void portraitButtonTapped();
    void landscapeButtonTapped();
    void sliderValueChanged(double value);
    void columnsSliderChanged(int columns);
    void viewZoomValueChanged(double value);
    // The preview's zoom changed by a pinch or the wheel: the slider follows.
    void viewZoomChanged();
    void doneButtonPressed();
    void printButtonPressed();

    std::optional<KDPaper> selectedPaper() const;
    QList<KDPaper> currentPrinterPapers() const;
    // The scale nearest to `scale` that gives a whole number of columns, at least one; moves the
    // columns slider to that number.
    double fittedItemScale(double scale);
    void updateItemSizeControls();
    void updateOrientationBoxes();
    void setupColumnsSlider();
    void updateZoomSlider();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadPrinters();
    void setOrientation(QPageLayout::Orientation orientation);
    void placeColumnLabels();
    double imageableWidth() const;
    void postPrintInfoChanged();

    PrintInfo& m_printInfo;
    PrintSetupDelegate* m_delegate = nullptr;
    bool m_initialScalingSet = false;
    bool m_paperNameChangedManually = true;
    QComboBox* m_printerPopupButton;
    QComboBox* m_pagePopupButton;
    OrientationBox* m_orientationBoxPortrait;
    OrientationBox* m_orientationBoxLandscape;
    QSlider* m_itemSizeSlider;
    QLineEdit* m_itemSizeValueField;
    QWidget* m_columnsBox;
    QSlider* m_columnsSlider;
    QSlider* m_zoomSlider;
    QPushButton* m_doneButton;
    QPushButton* m_printButton;
    QList<QLabel*> m_columnSliderLabels;
};
