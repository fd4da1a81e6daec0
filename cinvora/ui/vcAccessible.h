#pragma once
// What screen readers learn of the window's own drawn views: the list (a list of job rows,
// each named by its file, format and state) and the settings sheet's stepper. The skinned
// controls of the libraries describe themselves (LXAccessible).
class vcAccessible {
public:
    // Idempotent; the window installs it when it is made.
    static void install();
};
