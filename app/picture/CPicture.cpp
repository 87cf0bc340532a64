#include "picture/CPicture.h"

#include <QFile>
#include <QPainter>
#include <QTransform>

namespace bf {

void CPicture::Release() {
  decoder_.Recycle(std::move(image_));
  image_ = QImage();
  std::vector<uint8_t>().swap(memory_);
}

bool CPicture::LoadFromMemory(const uint8_t* data, std::size_t length) {
  Release();
  if (data != nullptr) memory_.assign(data, data + length);
  image_ = decoder_.Decode(memory_.data(), memory_.size());
  return !image_.isNull();
}

bool CPicture::LoadFromResource(int id) {
  QFile resource(QStringLiteral(":/images/%1").arg(id));
  if (!resource.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = resource.readAll();
  if (bytes.isEmpty()) return false;
  return LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size()));
}

void CPicture::RotateFlip(Rotation type) {
  if (image_.isNull() || type == Rotation::None) return;
  // One whole-image turn per picture; painting then stays an axis-aligned blit.
  QImage turned = image_.transformed(QTransform().rotate(90.0 * static_cast<int>(type)));
  decoder_.Recycle(std::move(image_));
  image_ = std::move(turned);
}

bool CPicture::Draw(QPainter& painter, int left, int top, int right, int bottom) const {
  if (left == 0 && top == 0 && right == 0 && bottom == 0) {
    right = image_.width();
    bottom = image_.height();
  }
  if (image_.isNull()) return true;
  const QRect target(left, top, right - left, bottom - top);
  if (target.size() != image_.size()) {
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image_);
    painter.restore();
  } else {
    painter.drawImage(target.topLeft(), image_);
  }
  return true;
}

}  // namespace bf
