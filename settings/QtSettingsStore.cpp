#include "settings/QtSettingsStore.h"

#include <QMetaType>
#include <cstdint>

#include "host/SettingsIdentity.h"

namespace bf {

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QString::fromUtf8(kSettingsOrganization),
                                            QString::fromUtf8(kSettingsApplication))) {}

QtSettingsStore::QtSettingsStore(const QString& iniPath)
    : settings_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

QString QtSettingsStore::Key(const std::string& section, const std::string& name) {
  const QString value = QString::fromStdString(name);
  return section.empty() ? value : QString::fromStdString(section) + QLatin1Char('/') + value;
}

int QtSettingsStore::ReadInt(const std::string& section, const std::string& name,
                             int defaultValue) {
  const QVariant value = settings_->value(Key(section, name));
  if (!value.isValid()) return defaultValue;
  bool ok = false;
  const qlonglong number = value.toLongLong(&ok);
  // A value that is not a 32-bit number (a string, a damaged entry) counts as missing.
  if (!ok || number < INT32_MIN || number > INT32_MAX) return defaultValue;
  return static_cast<int>(number);
}

bool QtSettingsStore::WriteInt(const std::string& section, const std::string& name, int value) {
  settings_->setValue(Key(section, name), value);
  return Commit();
}

std::string QtSettingsStore::ReadString(const std::string& section, const std::string& name,
                                        const std::string& defaultValue) {
  const QVariant value = settings_->value(Key(section, name));
  if (!value.isValid() || !value.canConvert<QString>()) return defaultValue;
  return value.toString().toStdString();
}

bool QtSettingsStore::WriteString(const std::string& section, const std::string& name,
                                  const std::string& value) {
  settings_->setValue(Key(section, name), QString::fromStdString(value));
  return Commit();
}

bool QtSettingsStore::Commit() {
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

}  // namespace bf
