#pragma once
#include <QSettings>
#include <QString>
#include <memory>

#include "host/SettingsStore.h"

namespace bf {

// The per-user settings store on QSettings (QtCore only), under the names of
// host/SettingsIdentity.h. A section is a group; the empty section is the application key
// itself. Integers are stored as integers, strings as text; a missing or unreadable value reads
// as the default. The window's store (GUI thread only) and bfk's (its one thread).
class QtSettingsStore final : public SettingsStore {
 public:
  QtSettingsStore();                                 // the user's native store
  explicit QtSettingsStore(const QString& iniPath);  // a given INI file (tests, portable use)

  int ReadInt(const std::string& section, const std::string& name, int defaultValue) override;
  bool WriteInt(const std::string& section, const std::string& name, int value) override;
  std::string ReadString(const std::string& section, const std::string& name,
                         const std::string& defaultValue) override;
  bool WriteString(const std::string& section, const std::string& name,
                   const std::string& value) override;

 private:
  static QString Key(const std::string& section, const std::string& name);
  bool Commit();

  std::unique_ptr<QSettings> settings_;
};

}  // namespace bf
