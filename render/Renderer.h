// The display callback: the slice stack, then the overlay.
#pragma once

void display();
