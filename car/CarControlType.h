#pragma once

// Who drives a car: the computer's yellow car or the player's blue car.
enum carControlType { computerControl = 0, userControl = 1 };
