# Copyright 2026 Velmora developers. All rights reserved.

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

DOCUMENTATION = r'''
---
module: velmora_info
short_description: Read a Velmora gateway's configuration as a JSON document
description:
  - Reads the gateway's configuration and returns it as the JSON document of velmora
    (C(docs/config-json.md)), for facts, drift reports and backups with Ansible's own tools;
    C(velmora.gateway.velmora_config) takes the document back as I(settings).
  - Runs C(velmora-cli read --json) on the host that runs the module; give the devices
    C(ansible_connection=local) or C(delegate_to) a jump host that reaches them.
version_added: 1.0.0
author:
  - Velmora developers (@velmora)
options:
  target:
    description:
      - How the host that runs the module reaches the device, C(tcp:HOST:PORT)
        (C(tcp:[V6]:PORT)) or C(serial:PATH[@BAUD[,8N1]]).
    type: str
    required: true
  address:
    description:
      - The bus address the device answers to, 1-255.
    type: int
    default: 1
  cli_path:
    description:
      - The velmora-cli program; by default the one found on the C(PATH).
    type: path
notes:
  - Only reads; it runs in check mode as it does otherwise.
requirements:
  - velmora-cli on the host that runs the module
'''

EXAMPLES = r'''
- name: Read each gateway's configuration
  velmora.gateway.velmora_info:
    target: "tcp:{{ ansible_host }}:6000"
  delegate_to: jump-a
  register: gateway

- name: Keep it on the control node
  ansible.builtin.copy:
    content: "{{ gateway.config | to_nice_json }}"
    dest: "backups/{{ inventory_hostname }}.json"
    mode: "0644"
  delegate_to: localhost
'''

RETURN = r'''
config:
  description: The device's configuration as a JSON document (format C(velmora-config), version 1).
  returned: success
  type: dict
  sample: {"format": "velmora-config", "version": 1, "units": [{"kind": "serial_port", "port": 1, "baud": 9600}]}
msg:
  description: Why the task failed, as velmora-cli says it.
  returned: failure
  type: str
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.velmora.gateway.plugins.module_utils.velmora_cli import (
    LINK_ARGUMENT_SPEC, cli_command, last_reason, run_json)


def main():
    module = AnsibleModule(argument_spec=dict(LINK_ARGUMENT_SPEC), supports_check_mode=True)
    rc, document, err = run_json(module, cli_command(module) + ['read', '--json'])
    if rc != 0 or document is None:
        module.fail_json(msg=last_reason(err) or 'velmora-cli failed with exit status %d' % rc, rc=rc, stderr=err)
    module.exit_json(changed=False, config=document)


if __name__ == '__main__':
    main()
