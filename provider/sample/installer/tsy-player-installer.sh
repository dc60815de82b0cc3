#!/bin/sh
# Stand-in for the program's installer in the sample course library: tsy-provider offers it
# through the catalog's "win_app" when library.xml names a program version newer than the player's.
echo "TSY-Player sample installer: nothing to install."
