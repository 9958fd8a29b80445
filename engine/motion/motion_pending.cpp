// Until the motion is built: a due sample is popped and the aircraft holds
// its position; the ground retiming and the take-off start do nothing.
#include "engine/motion/motion.h"

namespace qvl {

void nextPosMain(Engine& /*engine*/, LiveAc& ac) {
    if (!ac.samples.empty()) ac.samples.pop_front();
}

void integrateStep(Engine& /*engine*/, LiveAc& /*ac*/) {}

void nextPosGround(Engine& /*engine*/, LiveAc& /*ac*/) {}

void startTakeOff(Engine& /*engine*/, LiveAc& ac) { ac.departing = 1; }

}  // namespace qvl
