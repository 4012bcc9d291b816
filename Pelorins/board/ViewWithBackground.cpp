#include "Pelorins/board/ViewWithBackground.h"

#include "Pelorins/board/BackgroundArtwork.h"
#include "Pelorins/board/BackgroundPictureFiles.h"
#include "Pelorins/board/BoardColourPalette.h"
#include "PelorinsKit/model/Kanban.h"

#include <QPaintEvent>
#include <QPainter>

ViewWithBackground::ViewWithBackground(ActionRouter* router, QWidget* parent)
    : ControllerIntegratedView(router, parent)
    , m_colour(palette().color(QPalette::Window))
{
    // Everything is painted here; no style fills the view first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ViewWithBackground::showBackground(const Kanban& kanban)
{
    m_colour = boardColour(kanban.colour());
    QString path;
    bool builtIn = false;
    if (const std::optional<BuiltInBackground> background = builtInBackground(kanban.bgImage())) {
        path = background->picture;
        builtIn = true;
    } else if (const std::optional<QString> file = BackgroundPictureFiles::pathOf(kanban.bgImage())) {
        path = *file;
    }
    // The same built-in picture keeps its pixels; a custom file may have been replaced.
    if (path != m_picturePath || !builtIn) {
        m_picturePath = path;
        m_scaled = QImage();
        m_scaledFor = QSize();
        m_pictureMean = QColor();
    }
    // Decoded now, so that what is drawn over it can be told its colour.
    if (!size().isEmpty())
        preparePicture();
    update();
}

bool ViewWithBackground::showsPicture() const
{
    return !m_picturePath.isEmpty() && (m_scaledFor.isEmpty() || !m_scaled.isNull());
}

void ViewWithBackground::preparePicture()
{
    if (m_picturePath.isEmpty() || m_scaledFor == size())
        return;
    m_scaledFor = size();
    m_scaled = BackgroundPictureFiles::readCovering(m_picturePath, size());
    m_pictureMean = m_scaled.isNull() ? QColor() : m_scaled.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
}

QColor ViewWithBackground::shownColour() const
{
    return showsPicture() && m_pictureMean.isValid() ? m_pictureMean : m_colour;
}

void ViewWithBackground::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    preparePicture();
    if (m_scaled.isNull()) {
        painter.fillRect(event->rect(), m_colour);
        return;
    }
    const QPoint origin((width() - m_scaled.width()) / 2, (height() - m_scaled.height()) / 2);
    painter.drawImage(event->rect(), m_scaled, event->rect().translated(-origin));
}
