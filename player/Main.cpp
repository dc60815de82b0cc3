#include "player/MyApplication.h"

START_JUCE_APPLICATION (MyApplication)
