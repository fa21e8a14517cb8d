#pragma once
// The parameters of the effect commands, each with the values the command
// offers every time it runs (the dialogs do not remember the previous run).
// Plain data: the dialogs fill them in, the document commands and the
// command-line tool pass them on to the effect routines.

// Echo: level of the first echo (1.0 = as loud as the sound) and the
// number of echoes.
struct SEchoParams {
    double mixLevel = 0.8;
    int echoCount = 5;
};

// Chorus: frequency ratio of the pitch-shifted voice and its level.
struct SChorusParams {
    double ratio = 1.1;
    double mixLevel = 0.5;
};

// Voice changer: frequency ratio.
struct SVoiceParams {
    double ratio = 1.1;
};

// Vibrato: depth in percent of a semitone and the rate of the swing in
// hertz.
struct SVibratoParams {
    int depth = 50;
    double frequency = 3.0;
};

// Tremolo: rate of the swing in hertz and its depth (0 to 1).
struct STremoloParams {
    double frequency = 3.0;
    double level = 0.5;
};

// Sine wave: frequency in hertz and amplitude. The amplitude goes into the
// dialog as the position of its scroll bar (0 to 127) and comes back after
// OK in sample units: the position x 256 for 16-bit data, the position
// itself for 8-bit data.
struct SSineParams {
    double frequency = 440.0;
    int amplitude = 64;
};
