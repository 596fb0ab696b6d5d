#include "signalchain.h"

float channelChain(float x, const ChainCoefficients& k, const ChannelState& s) {
    highPassStep(x, k.lowCutA, k.lowCutB, s.lowCut);
    if (k.pickupOn) {
        svfLowPassStep(x, k.pickupCoeff, 1.0f, s.pickupLow, s.pickupBand);
    }
    x = k.opampGain * x;
    highPassStep(x, k.gainHpA, k.gainHpB, s.gainHp);
    lowPassStep(x, k.bandLpA, k.bandLpB, s.bandLp);

    // Two points per sample from here to the diode: the mid-point first, then x.
    float mid = 0.0f;
    midpointStep(mid, x, s.prev);
    clampStep(mid, k.clipHigh, k.clipLow);
    clampStep(x, k.clipHigh, k.clipLow);
    pairedHighPassStep(mid, x, k.couplingA, k.couplingB, s.coupling);
    pairedLowPassStep(mid, x, k.smoothA, k.smoothB, s.smooth);
    diodeCurve(mid, k.diodeKnee);
    diodeCurve(x, k.diodeKnee);

    float out = 0.0f;
    decimateStep(mid, x, out, s.decimMid, s.decimPrev);
    lowPassStep(out, k.highCutA, k.highCutB, s.highCut);

    s.work = x;
    s.mid = mid;
    s.out = out;
    return out * k.outputGain;
}
