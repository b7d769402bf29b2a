// The speed units of the speed panel and the page's read-out: name, factor from the stored knots
// and the divisors the graph's ticks and curve use. Any unit but 1 and 2 is knots.
#pragma once

struct SpeedUnitInfo {
    const char* name;        // "Km/h", "Mile/h", "Knot/h"
    double factor;           // from knots
    int tickIntervalDivisor; // tick spacing = usable height / (full scale / this)
    int tickCountDivisor;    // tick count = full scale / this
    int curveDivisor;        // pixels per unit = tick spacing / this
};

inline const SpeedUnitInfo& speedUnitFor(int unit) {
    static constexpr SpeedUnitInfo kKmh{"Km/h", 1.852, 20, 20, 20};
    static constexpr SpeedUnitInfo kMph{"Mile/h", 1.150779, 10, 10, 10};
    static constexpr SpeedUnitInfo kKnots{"Knot/h", 1.0, 10, 9, 9};
    return unit == 1 ? kKmh : unit == 2 ? kMph : kKnots;
}
