// The flasher's three workflows: Connect, Open firmware file and Flash firmware. Plain code over
// the front end; the window's buttons and a command line both run them.
#pragma once

class FlasherFrontEnd;

// Opens the adapter, has the user restart the drive, and makes sure that a supported bootloader
// answers; connected on success.
void connectBootloader(FlasherFrontEnd& frontEnd);
// Asks for an image file and loads it into the program's image.
void openFirmwareFile(FlasherFrontEnd& frontEnd);
// Writes the loaded image, then checks that the drive still answers.
void flashFirmware(FlasherFrontEnd& frontEnd);
