#include "link/ReconnectDevice.h"

#include "link/D2xxBackend.h"

namespace bf {

void ReconnectDevice(FTD2xx& link) {
  link.Purge(kPurgeRx | kPurgeTx);
  link.ResetDevice();
  link.Close();
  link.Open(0);
}

}  // namespace bf
