#ifndef DEMOPROGRAMS_H
#define DEMOPROGRAMS_H

#include <QString>
#include <QStringList>

// The ramp/soak profiles the simulated controller holds in programs 1 to 3 after a reset.
//
// Every record is valid under the simulator's default range parameters (SP1 -200..1300, event 1
// a PV type event, event 2 a time event, event 3 an MV event), so a program read from the
// simulator and written back unchanged passes the driver's validation. Temperatures are in whole
// degrees Celsius, times in minutes. Each segment's SP1 is the setpoint reached at the segment's
// end, TIME its duration. Event 1 (PV): 1st = alarm threshold, 2nd = hysteresis. Event 2 (time
// event): ON/OFF minutes from the segment start, or 1st 5999 with 2nd unset for "off". Event 3
// (MV): 1st = output threshold in 0.1 %, 2nd = hysteresis. Unset fields are the word 7FFF.
//
// Program 1, tag "ANNEAL01": stress-relief anneal of steel parts, 8 segments.
//   1 preheat ramp to 150 in 45 min (horn pulse at start, MV saturation alarm);
//   2 drying soak at 150 for 30 min (over-temperature alarm 170, purge gas T1 first 10 min,
//     guaranteed soak band 10);
//   3 heating ramp to 620 in 150 min (PID group 2);
//   4 anneal soak at 620 for 240 min (over-temperature alarm 640, soak-start pulse,
//     end-of-soak warning T2 from 230 to 240 min, band 8 with a 30 min timeout);
//   5 slow cool to 400 in 180 min; 6 hold at 400 for 60 min;
//   7 furnace cool to 100 in 120 min with the cooling fan on T3 the whole segment;
//   8 unload ramp to 25 in 30 min with the unload lamp on for the whole segment.
//   Runs once (P.STA 0, CYCL 0), no linked program.
// Program 2, tag "CERAMIC2": glaze firing of ceramics, 10 segments.
//   1 warm-up to 120 in 60 min; 2 drying hold at 120 for 90 min (vent T1 open);
//   3 slow ramp to 600 in 240 min through quartz inversion; 4 hold at 600 for 30 min;
//   5 ramp to 1000 in 200 min; 6 ramp to 1250 in 150 min (MV high alarm);
//   7 peak soak at 1250 for 20 min (alarm 1270, band 5); 8 crash cool to 800 in 60 min
//   (damper T4 open); 9 hold at 800 for 45 min; 10 natural cool to 50 in 360 min.
//   Starts with P.STA 1, runs once, no linked program.
// Program 3, tag "CLIMATE3": climate-chamber thermal cycle between -40 and 85, 8 segments,
//   repeated 5 times (CYCL 5).
//   1 pull-down to -40 in 50 min (low alarm -45); 2 cold soak at -40 for 60 min;
//   3 ramp to 85 in 90 min (humidity purge T1 from 10 to 80 min); 4 hot soak at 85 for 60 min
//   (high alarm 90); 5 ramp to 25 in 40 min; 6 ambient dwell at 25 for 15 min (test-point
//   pulses T1..T5); 7 pull-down to -40 in 60 min; 8 return to 25 in 60 min.
class DemoPrograms
{
public:
    static constexpr int FirstProgram = 1;
    static constexpr int LastProgram = 3;

    // Segment records of a demo program (120 hex digits for segment 1, 92 for the others), or an
    // empty list for a program that is not a demo program.
    static QStringList records(int program);
};

#endif
