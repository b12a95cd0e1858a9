// The few operating-system services the program needs beyond GLUT:
// GL entry points, and a modal question or notice before or beside the GL window.
#pragma once

// Console lines reach a pipe as they are printed, not when a buffer fills.
void lineBufferStandardOutput();

// Address of a GL (extension) entry point, or null.
void* getGlProcAddress(const char* name);

// Modal yes/no question; true for Yes. Enter or Y means Yes, Escape, N or
// closing the window means No.
bool askYesNo(const char* caption, const char* text);

// Modal notice with one OK button; returns when the user dismisses it.
void showNotice(const char* caption, const char* text);
