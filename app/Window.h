// The window (or full-screen game mode), its callbacks and the fixed GL state.
#pragma once

extern bool fullScreen; // true while running in GLUT game mode

void initWindow();
void askFullScreen();
void initGLState();
void reshape(int width, int height);
void specialKey(int key, int x, int y);
