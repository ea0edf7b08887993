# Copyright 2026 Velmora developers. All rights reserved.

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

DOCUMENTATION = r'''
---
module: velmora_config
short_description: Give a Velmora gateway a configuration, writing only what differs
description:
  - Reads the gateway's configuration first and writes the given one only when the device
    holds something else, so a task reports C(changed) only when the device was changed.
  - Before a write, what the device held is kept as a JSON document (I(backup)); with
    I(verify) the configuration is read back after the write, and a device that holds
    anything else, or a link lost during the write, gets the backup written back.
  - Runs C(velmora-cli write --json) on the host that runs the module (the device itself
    runs no Python); give the devices C(ansible_connection=local) or C(delegate_to) a jump host
    that reaches them.
version_added: 1.0.0
author:
  - Velmora developers (@velmora)
options:
  target:
    description:
      - How the host that runs the module reaches the device, as the target column of a
        C(velmora-cli apply) plan names it, C(tcp:HOST:PORT) (C(tcp:[V6]:PORT)) or
        C(serial:PATH[@BAUD[,8N1]]).
    type: str
    required: true
  address:
    description:
      - The bus address the device answers to, 1-255.
    type: int
    default: 1
  config:
    description:
      - Path of a C(.vmc) configuration file or a JSON document of a configuration on the
        host that runs the module.
      - Mutually exclusive with I(settings); one of them is required.
    type: path
  settings:
    description:
      - The configuration as a JSON document (C(docs/config-json.md) of velmora), given
        inline as a dictionary or as its text.
      - Mutually exclusive with I(config); one of them is required.
    type: raw
  backup:
    description:
      - Keep what the device held before a write as a JSON document in I(backup_dir), named by
        the device's serial number and the time; C(velmora-cli restore) writes it back.
      - With C(false) the backup is kept only while the module runs (a rollback still uses
        it), unless a rollback failed, when it stays and the message names it.
    type: bool
    default: true
  backup_dir:
    description:
      - Where backups go on the host that runs the module; by default velmora-cli's folder,
        C($XDG_STATE_HOME/velmora/backups) or C(~/.local/state/velmora/backups).
    type: path
  verify:
    description:
      - Read the configuration back after the write and compare; a device that holds anything
        else gets its backup written back (result C(rolled_back), the task fails).
    type: bool
    default: true
  cli_path:
    description:
      - The velmora-cli program; by default the one found on the C(PATH).
    type: path
notes:
  - Check mode reads the device and reports what would change without writing anything.
  - Diff mode shows the device's settings before and the planned ones after, one line each.
requirements:
  - velmora-cli on the host that runs the module
'''

EXAMPLES = r'''
- name: Gateways hold the site's configuration
  velmora.gateway.velmora_config:
    target: "tcp:{{ ansible_host }}:6000"
    config: /srv/velmora/site.json
  delegate_to: jump-a

- name: A gateway on a serial adapter of the jump host, configuration from a template
  velmora.gateway.velmora_config:
    target: serial:/dev/ttyUSB0@9600,8N1
    address: 3
    settings: "{{ lookup('ansible.builtin.template', 'gateway.json.j2') }}"
    backup_dir: /var/backups/velmora
  delegate_to: jump-a
'''

RETURN = r'''
changed:
  description: Whether the device was given another configuration (in check mode, would be).
  returned: always
  type: bool
result:
  description:
    - C(unchanged) when the device held the configuration already, C(ok) when it was written
      (and read back with I(verify)), C(would_change) in check mode when a write would
      change it, C(rolled_back) when a write did not verify and the backup was written back,
      C(failed) otherwise.
  returned: always
  type: str
  sample: ok
serial:
  description: The device's serial number as its configuration holds it, when it was read.
  returned: when the device was read
  type: str
  sample: 20.24.6.17
backup_file:
  description: The backup of what the device held before the write.
  returned: when a write was made and I(backup) is on
  type: str
  sample: /root/.local/state/velmora/backups/20.24.6.17-20261209-173015.123.json
changes:
  description: Each difference between the device's configuration and the given one, as
    C(velmora-cli diff --json) lists them.
  returned: when the device was read
  type: list
  elements: dict
  sample: [{"change": "changed", "field": "baud", "before": 9600, "after": 115200}]
diff:
  description: The settings before and after, one line each, for C(--diff).
  returned: in diff mode, when the device was read
  type: dict
  sample: {"before": "serial port 1: baud 9600\n", "after": "serial port 1: baud 115200\n"}
msg:
  description: Why the task failed, as velmora-cli says it.
  returned: failure
  type: str
  sample: "no answer from the device (time-out)"
'''

import json
import os
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_text
from ansible_collections.velmora.gateway.plugins.module_utils.velmora_cli import (
    LINK_ARGUMENT_SPEC, cli_command, last_reason, run_json)


def settings_file(module):
    """The inline document in a file velmora-cli reads as JSON by its name."""
    settings = module.params['settings']
    text = settings if isinstance(settings, str) else json.dumps(settings)
    path = os.path.join(module.tmpdir, 'settings.json')
    with open(path, 'w', encoding='utf-8') as f:
        f.write(to_text(text))
    return path


def main():
    argument_spec = dict(
        config=dict(type='path'),
        settings=dict(type='raw'),
        backup=dict(type='bool', default=True),
        backup_dir=dict(type='path'),
        verify=dict(type='bool', default=True),
    )
    argument_spec.update(LINK_ARGUMENT_SPEC)
    module = AnsibleModule(
        argument_spec=argument_spec,
        mutually_exclusive=[('config', 'settings')],
        required_one_of=[('config', 'settings')],
        supports_check_mode=True,
    )
    p = module.params
    source = p['config'] if p['config'] is not None else settings_file(module)

    # Without a backup the write still needs one for its rollback: a folder
    # of its own that goes when the module ends well.
    scratch = None
    backup_dir = p['backup_dir']
    if not p['backup']:
        scratch = tempfile.mkdtemp(prefix='velmora-backup-')
        backup_dir = scratch

    args = cli_command(module) + ['write', source, '--json']
    if module.check_mode:
        args.append('--dry-run')
    elif p['verify']:
        args.append('--verify')
    if backup_dir:
        args += ['--backup-dir', backup_dir]

    rc, end, err = run_json(module, args)
    if end is None:
        # A usage or file error: velmora-cli printed no object.
        if scratch:
            shutil.rmtree(scratch, ignore_errors=True)
        module.fail_json(msg=last_reason(err) or 'velmora-cli failed with exit status %d' % rc,
                         rc=rc, stderr=err, result='failed')

    result = dict(changed=bool(end.get('changed')), result=end.get('result', 'failed'))
    if end.get('serial') is not None:
        result['serial'] = end['serial']
    if end.get('before') is not None:
        result['changes'] = end.get('diff', [])
        if module._diff:
            header = p['target']
            result['diff'] = dict(before=''.join(line + '\n' for line in end['before']),
                                  after=''.join(line + '\n' for line in end.get('after') or []),
                                  before_header=header + ' (device)', after_header=header + ' (planned)')
    kept = end.get('backup')
    if kept and p['backup']:
        result['backup_file'] = kept

    if result['result'] in ('failed', 'rolled_back'):
        # A rollback that failed leaves the device in doubt: its backup stays.
        if scratch and not (result['result'] == 'failed' and result['changed']):
            shutil.rmtree(scratch, ignore_errors=True)
        elif kept:
            result['backup_file'] = kept
        module.fail_json(msg=end.get('reason') or last_reason(err) or 'velmora-cli failed', stderr=err, **result)

    if scratch:
        shutil.rmtree(scratch, ignore_errors=True)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
