#!/usr/bin/env python3
"""Signs requests with botocore, an independent Signature Version 4 signer.

Reads a JSON object on standard input: accessKeyId, secretAccessKey, region, timestamp
(yyyymmddThhmmssZ) and requests, a list of {method, url (fully encoded), body (hex)}. Writes the
Authorization header of each request, one per line.
"""
import json
import sys

from botocore.auth import S3SigV4Auth
from botocore.awsrequest import AWSRequest
from botocore.credentials import Credentials

job = json.load(sys.stdin)
auth = S3SigV4Auth(Credentials(job["accessKeyId"], job["secretAccessKey"]), "s3", job["region"])
for item in job["requests"]:
    request = AWSRequest(method=item["method"], url=item["url"], data=bytes.fromhex(item["body"]))
    request.context["timestamp"] = job["timestamp"]
    request.headers["X-Amz-Date"] = job["timestamp"]
    auth._modify_request_before_signing(request)
    canonical = auth.canonical_request(request)
    signature = auth.signature(auth.string_to_sign(request, canonical), request)
    auth._inject_signature_to_request(request, signature)
    # botocore separates the parts with ", ", this signer with ",": both are valid.
    print(request.headers["Authorization"].replace(", ", ","))
