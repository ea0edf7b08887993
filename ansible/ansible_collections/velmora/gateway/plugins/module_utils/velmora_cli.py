# Copyright 2026 Velmora developers. All rights reserved.
"""Running velmora-cli for the collection's modules.

The modules speak to the device only through velmora-cli and its --json
output; nothing of the device's protocol or of its configuration image is
known here.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json


# The options every module that reaches a device takes.
LINK_ARGUMENT_SPEC = dict(
    target=dict(type='str', required=True),
    address=dict(type='int', default=1),
    cli_path=dict(type='path'),
)


def cli_command(module):
    """velmora-cli and the link options of the module's parameters."""
    path = module.params['cli_path'] or module.get_bin_path('velmora-cli', required=True)
    address = module.params['address']
    if not 1 <= address <= 255:
        module.fail_json(msg='address must be 1-255, got %d' % address)
    return [path, '--quiet', '--link', module.params['target'], '--address', str(address)]


def last_reason(stderr):
    """velmora-cli says why it failed in its last line on standard error."""
    lines = [line.strip() for line in (stderr or '').splitlines() if line.strip()]
    return lines[-1] if lines else ''


def run_json(module, args):
    """Runs velmora-cli; its exit status, the object it printed (None when
    it printed none, as on a usage error) and its standard error."""
    rc, out, err = module.run_command(args)
    document = None
    text = (out or '').strip()
    if text:
        try:
            document = json.loads(text)
        except ValueError:
            document = None
    return rc, document, err
