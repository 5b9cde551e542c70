// Switches window start on from wherever it is started, so a test can run a copy of it from a
// folder of its choosing and read back what the Run value holds.

#include "tuning/speed_up.h"

int main() {
  TSpeedUp::GetInstance().DoWindowStart();
  const bool stored = TSpeedUp::GetInstance().CheckWindowStart();
  TSpeedUp::ReleaseInstance();
  return stored ? 0 : 1;
}
