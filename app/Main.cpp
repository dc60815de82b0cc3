#include "app/MyApplication.h"

START_JUCE_APPLICATION (MyApplication)
