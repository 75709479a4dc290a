// All services of the kernel layer.
#pragma once

#include "platform/kernel/clipboard.h"
#include "platform/kernel/crt.h"
#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resources.h"
#include "platform/kernel/system.h"
#include "platform/kernel/text.h"
