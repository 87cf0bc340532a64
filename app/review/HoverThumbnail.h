#pragma once
#include <QImage>
#include <QString>
#include <QWidget>

namespace bf::ui {

// The small picture shown over the review window while the mouse hovers over the timeline: a
// frame's thumbnail with its local time under it. Placed by the window; GUI thread only.
class HoverThumbnail final : public QWidget {
  Q_OBJECT

 public:
  explicit HoverThumbnail(QWidget* parent);

  // A null image shows the time alone (a frame that does not decode).
  void Set(const QImage& image, const QString& time);
  const QImage& Image() const { return image_; }
  const QString& Time() const { return time_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  QString time_;
};

}  // namespace bf::ui
