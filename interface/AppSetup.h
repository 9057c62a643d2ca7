#pragma once
// What the cable tester sets on its application object before its first window: the title
// and the typefaces the windows are designed in. No display name: Qt would append it to every
// caption the window system shows ("Communication — Calbrix").

void SetUpApplication();
